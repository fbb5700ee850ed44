// Fixed-field record layouts.
//
// A layout is written in the field notation, e.g. "(1X,A20,1X,4G23.15)", and
// parsed once into a Layout that is then reused for every record:
//
//   Aw    text of w characters (output: cut or padded right; input: w characters)
//   A     text at its own length (input: as many characters as the target holds)
//   Iw    integer in w columns
//   Fw.d  real, fixed point, d decimals (input: d implied decimals when no point)
//   Dw.d  real, exponent form with letter D          Ew.d is accepted as well
//   Gw.d  real, general form (fixed with d significant digits, else exponent)
//   nX    n blank columns / skip n columns
//   /     end of record
//   'text' literal text (output only)
//   r(..) group repeated r times; a repeat count r may stand before any item
//   :     stop here when no values remain
//
// When values remain after the last item, the layout starts again from its
// last top-level group (or from its beginning) on a new record.
//
// Reading rules: a short record reads as if padded with blanks; a comma inside
// a numeric field ends the field there (the next field starts after the
// comma); blanks inside a numeric field are ignored and an all-blank field
// reads as 0; a real without a decimal point takes d implied decimals; E and D
// exponents are accepted by every real item.
//
// Writing rules: numbers are right-justified; a number that does not fit
// fills its field with asterisks; in F form a magnitude below 1 gets its
// leading zero only when the field has room for it.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace core {

enum class ItemKind : std::uint8_t { A, I, F, D, E, G, X, Slash, Literal, Colon, Group };

struct LayoutItem {
    ItemKind kind = ItemKind::X;
    int repeat = 1;      // repeat count (groups: number of passes)
    int width = 0;       // w; 0 for a bare A
    int decimals = 0;    // d
    std::string text;    // literal text
    int group_end = -1;  // Group: index one past the group's last item
};

// A parsed layout.  Items are stored flat; a Group item is followed by its
// members up to `group_end`.
class Layout {
public:
    Layout() = default;
    // Parses the notation.  On a syntax error ok() is false and error()
    // names the offending position.
    explicit Layout(std::string_view notation);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& notation() const { return notation_; }
    const std::vector<LayoutItem>& items() const { return items_; }
    // Index of the item at which output/input restarts when values remain.
    int reuseStart() const { return reuse_start_; }

private:
    std::string notation_;
    std::vector<LayoutItem> items_;
    int reuse_start_ = 0;
    std::string error_;
};

// A value to write.
using Value = std::variant<long long, double, std::string_view>;

// A target to read into.  Text targets have a capacity: Aw takes w
// characters and keeps the last `capacity` of them when w is larger (as the
// notation's input rule does), a bare A takes `capacity` characters.  Text is
// stored blank-padded to the capacity.
struct TextTarget {
    std::string* text;
    int capacity;
};
using Target = std::variant<int*, long long*, double*, float*, TextTarget>;

enum class ReadResult { Done, EndOfFile, Error };

// The outcome of a read: on an error, which record (1-based within this read,
// or the stream's line number when read from a stream) and which field
// (1-based count of value items), and the text that failed.
struct ReadOutcome {
    ReadResult result = ReadResult::Done;
    int record = 0;
    int field = 0;
    std::string text;
    bool done() const { return result == ReadResult::Done; }
};

// Internal read: reads the targets from one or more records held in memory.
// `records_in` supplies the lines; a layout that needs more lines than given
// reports EndOfFile.
ReadOutcome read_text(std::span<const std::string> records_in, const Layout& layout,
                      std::span<const Target> targets);
ReadOutcome read_text(std::string_view record, const Layout& layout, std::span<const Target> targets);

// Internal write: formats the values into records (one string per record).
std::vector<std::string> write_text(const Layout& layout, std::span<const Value> values);
// Convenience for a layout that produces a single record (several records
// come back joined by '\n').
std::string writeLine(const Layout& layout, std::span<const Value> values);

// Record-at-a-time forms of the two routines above, for callers whose records
// come from or go to a stream (the console, an open unit).
class RecordSource {
public:
    // Supplies the next record (without its line end); false when none is left.
    // The view stays valid until the next call.
    virtual bool next(std::string_view& record) = 0;

protected:
    ~RecordSource() = default;
};
class RecordSink {
public:
    virtual void put(std::string_view record) = 0;

protected:
    ~RecordSink() = default;
};
// Reads as read_text does; `records_used` receives the number of records taken
// from the source (including a record that was asked for but missing).
ReadOutcome readFrom(RecordSource& source, const Layout& layout, std::span<const Target> targets,
                      int& records_used);
// The first numeric field of a write that could not hold its value (and was
// therefore filled with asterisks): its record (1-based within the write),
// its place among the values of that record (1-based), the item ("F10.2")
// and the value in free form.  `field` is 0 when every value fitted.
struct FieldOverflow {
    int record = 0;
    int field = 0;
    std::string item;
    std::string value;
    bool any() const { return field > 0; }
};
// Writes as write_text does, handing every record to the sink; `overflow`,
// when given, receives the first field that did not fit.
void writeTo(RecordSink& sink, const Layout& layout, std::span<const Value> values,
              FieldOverflow* overflow = nullptr);
// Appends the records to `out`, separated by '\n' (no '\n' after the last).  Reusing one
// buffer this way allocates nothing once the buffer has grown.
void appendText(std::string& out, const Layout& layout, std::span<const Value> values);

// Single-field helpers used throughout the program.
std::string formatInteger(long long v, int width);               // Iw
std::string formatFixed(double v, int width, int decimals);      // Fw.d
std::string formatExponent(double v, int width, int decimals, char letter = 'D');  // Dw.d / Ew.d
std::string formatGeneral(double v, int width, int decimals);    // Gw.d
// Reads one numeric field under the reading rules; false on a read error.
bool parseRealField(std::string_view field, int implied_decimals, double& out);
bool parseIntegerField(std::string_view field, long long& out);

// Free format: values separated by blanks or commas.
ReadOutcome read_free(std::string_view record, std::span<const Target> targets);
std::string write_free(std::span<const Value> values);

}  // namespace core
