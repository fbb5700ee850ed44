// Expected texts of the writing tests are the output of the reference Fortran
// compiler for the same edit descriptors and values, except where a comment
// says otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/layout.hpp"

namespace core {
namespace {

std::string w1(const char* layout, Value v) {
    Layout l(layout);
    EXPECT_TRUE(l.ok()) << l.error();
    return writeLine(l, std::span<const Value>(&v, 1));
}

std::vector<std::string> wr(const char* layout, const std::vector<Value>& values) {
    Layout l(layout);
    EXPECT_TRUE(l.ok()) << l.error();
    return write_text(l, values);
}

std::vector<long long> ints(int from, int to) {
    std::vector<long long> v;
    for (int i = from; i <= to; ++i) v.push_back(i);
    return v;
}
std::vector<Value> asValues(const std::vector<long long>& v) { return {v.begin(), v.end()}; }

// Reads one real from `record` with `layout`; NaN on any failure.
double r1(const char* layout, std::string_view record) {
    Layout l(layout);
    double v = -999;
    Target t = &v;
    ReadOutcome r = read_text(record, l, std::span<const Target>(&t, 1));
    return r.done() ? v : std::nan("");
}

TEST(LayoutParse, LayoutsOfTheSystemParse) {
    for (const char* text :
         {"(1X,A20,1X,4G23.15)", "(I1,D12.5,5X,A20)", "5X,5F15.5", "(30F10.3)", "(A4,1X,24F6.4)",
          "(1X,I4,'/',I2,'=Total...',/,'  #  dH...')", "(7(1X,F9.4,F10.2,I2))", "3(1X,F10.2,2X,F10.5,5X)",
          "(/,3A14)", "(I4,': ',F5.1,2F6.2,F5.0,1X,A1,1X,A)", "(10X,'AFM(Ksp):',1X,3F10.3)", "(7(2F10.3,I2))",
          "('1  REACTION: ',A120)", "(2f10.3, i5, x, g16.10)", "( 2 F 10 . 3 , ' a b ' )", "(\"it's\",A)", "()"}) {
        Layout l(text);
        EXPECT_TRUE(l.ok()) << text << ": " << l.error();
    }
}

TEST(LayoutParse, ItemsGroupsAndReuseStart) {
    Layout l("(I3, 2(1X, 2(I2,'-')), 'it''s')");
    ASSERT_TRUE(l.ok()) << l.error();
    const auto& it = l.items();
    ASSERT_EQ(it.size(), 7u);
    EXPECT_EQ(it[1].kind, ItemKind::Group);
    EXPECT_EQ(it[1].repeat, 2);
    EXPECT_EQ(it[1].group_end, 6);
    EXPECT_EQ(it[2].kind, ItemKind::X);
    EXPECT_EQ(it[2].width, 1);
    EXPECT_EQ(it[3].group_end, 6);
    EXPECT_EQ(it[3].repeat, 2);
    EXPECT_EQ(it[4].kind, ItemKind::I);
    EXPECT_EQ(it[6].text, "it's");
    EXPECT_EQ(l.reuseStart(), 1);
    EXPECT_EQ(Layout("(16F8.1)").reuseStart(), 0);
    // Outer parentheses are the layout's own, not a group.
    EXPECT_EQ(Layout("(3(I2,:,','))").items()[0].kind, ItemKind::Group);
    EXPECT_EQ(Layout("(I2),(I3)").items().size(), 4u);
}

TEST(LayoutParse, SyntaxErrorsNameThePosition) {
    for (const char* text : {"(I3,Q2)", "(F10)", "(2(I3)", "('abc)", "(I0)", "(E10.0)", "(F5.5)", "(I3,,I2)",
                             "(I3,)", "(2())", "(0I3)", "(F10.)", "(I300)"}) {
        Layout l(text);
        EXPECT_FALSE(l.ok()) << text;
        EXPECT_NE(l.error().find("position"), std::string::npos) << l.error();
        EXPECT_TRUE(l.items().empty());
    }
    EXPECT_NE(Layout("(I3,Q2)").error().find("position 5"), std::string::npos);
    // A layout that did not parse reads nothing and writes nothing.
    Layout bad("(F10)");
    double v = 1;
    Target t = &v;
    EXPECT_EQ(read_text("  2.0", bad, std::span<const Target>(&t, 1)).result, ReadResult::Error);
    EXPECT_DOUBLE_EQ(v, 1);
    std::vector<Value> vals = {2.0};
    EXPECT_TRUE(write_text(bad, vals).empty());
}

TEST(ReadNumbers, BlankFieldsShortRecordsAndCommas) {
    EXPECT_DOUBLE_EQ(r1("(F5.1)", "  1.5"), 1.5);
    EXPECT_DOUBLE_EQ(r1("(F5.1)", "1.5  "), 1.5);
    EXPECT_DOUBLE_EQ(r1("(F5.1)", "     "), 0.0);
    EXPECT_DOUBLE_EQ(r1("(F5.1)", ""), 0.0);
    EXPECT_DOUBLE_EQ(r1("(F5.2)", "1 2 3"), 1.23);  // blanks ignored, then implied decimals
    EXPECT_DOUBLE_EQ(r1("(F5.1)", "1.5\r"), 1.5);

    Layout two("(2F10.3)");
    double a = -1, b = -1;
    Target t[] = {&a, &b};
    ASSERT_TRUE(read_text("12,3.5,", two, t).done());
    EXPECT_DOUBLE_EQ(a, 12.0);
    EXPECT_DOUBLE_EQ(b, 3.5);

    int i = -1, j = -1;
    Target ti[] = {&i, &j};
    ASSERT_TRUE(read_text("1,2", Layout("(2I4)"), ti).done());
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 2);
    ASSERT_TRUE(read_text("  1 5", Layout("(I5)"), std::span<const Target>(ti, 1)).done());
    EXPECT_EQ(i, 15);
}

TEST(ReadNumbers, ImpliedDecimalsAndExponents) {
    EXPECT_DOUBLE_EQ(r1("(F6.4)", "  1234"), 0.1234);
    EXPECT_DOUBLE_EQ(r1("(F6.4)", "     1"), 0.0001);
    EXPECT_DOUBLE_EQ(r1("(F15.5)", "            123"), 0.00123);
    EXPECT_DOUBLE_EQ(r1("(F15.5)", "123"), 0.00123);
    EXPECT_DOUBLE_EQ(r1("(F6.4)", " 12.5 "), 12.5);
    EXPECT_DOUBLE_EQ(r1("(5X,5F15.5)", "ST        -123456"), -1.23456);
    EXPECT_DOUBLE_EQ(r1("(F5.2)", "1.5+3"), 1500.0);
    EXPECT_DOUBLE_EQ(r1("(F6.2)", "1.5-03"), 0.0015);
    EXPECT_DOUBLE_EQ(r1("(F6.2)", "  15d1"), 1.5);  // implied decimals, then the exponent
    EXPECT_DOUBLE_EQ(r1("(F6.2)", "  15E1"), 1.5);
    EXPECT_DOUBLE_EQ(r1("(F5.2)", "-12e1"), -1.2);
    EXPECT_DOUBLE_EQ(r1("(F6.2)", "1.5e 2"), 150.0);
    EXPECT_DOUBLE_EQ(r1("(D12.5)", " 0.12346D+03"), 123.46);
    EXPECT_DOUBLE_EQ(r1("(G12.5)", "  -2.5E-300"), -2.5e-300);
    EXPECT_DOUBLE_EQ(r1("(F5.2)", "+1"), 0.01);
    EXPECT_DOUBLE_EQ(r1("(F5.2)", "-.5"), -0.5);
}

TEST(ReadNumbers, BadFieldsAreErrorsNamingRecordFieldAndText) {
    for (const char* bad : {"  abc", "    -", "    +", "1.2.3", " 1.5e", "1.5e+", " 1.5-", "    .", "  e5",
                            "9e999", "1.5x"}) {
        EXPECT_TRUE(std::isnan(r1("(F5.1)", bad))) << bad;
    }
    long long n = 0;
    EXPECT_FALSE(parseIntegerField("  1.", n));
    EXPECT_FALSE(parseIntegerField(" 1e3", n));
    EXPECT_FALSE(parseIntegerField("99999999999999999999", n));
    ASSERT_TRUE(parseIntegerField(" -  42", n));
    EXPECT_EQ(n, -42);

    Layout l("(2F5.1/F5.1)");
    double a = 0, b = 0, c = 0;
    Target t[] = {&a, &b, &c};
    std::vector<std::string> recs = {"  1.0  2.0", "  x.0"};
    ReadOutcome r = read_text(recs, l, t);
    EXPECT_EQ(r.result, ReadResult::Error);
    EXPECT_EQ(r.record, 2);
    EXPECT_EQ(r.field, 3);
    EXPECT_EQ(r.text, "  x.0");
    EXPECT_DOUBLE_EQ(b, 2.0);

    // A real in an integer target must be whole.
    int i = 0;
    Target ti = &i;
    EXPECT_EQ(read_text("  2.5", Layout("(F5.1)"), std::span<const Target>(&ti, 1)).result, ReadResult::Error);
    ASSERT_TRUE(read_text("  3.0", Layout("(F5.1)"), std::span<const Target>(&ti, 1)).done());
    EXPECT_EQ(i, 3);
    EXPECT_EQ(read_text("99999999999", Layout("(I11)"), std::span<const Target>(&ti, 1)).result,
              ReadResult::Error);
}

TEST(ReadText, TextFieldsKeepRightmostOrPad) {
    std::string s;
    Target t = TextTarget{&s, 10};
    ASSERT_TRUE(read_text("abcdefghij", Layout("(A4)"), std::span<const Target>(&t, 1)).done());
    EXPECT_EQ(s, "abcd      ");
    t = TextTarget{&s, 4};
    ASSERT_TRUE(read_text("abcdefghij", Layout("(A8)"), std::span<const Target>(&t, 1)).done());
    EXPECT_EQ(s, "efgh");
    t = TextTarget{&s, 6};
    ASSERT_TRUE(read_text("abcdefghij", Layout("(A)"), std::span<const Target>(&t, 1)).done());
    EXPECT_EQ(s, "abcdef");
    ASSERT_TRUE(read_text("ab", Layout("(A)"), std::span<const Target>(&t, 1)).done());
    EXPECT_EQ(s, "ab    ");
    // A numeric item may not fill a text target.
    EXPECT_EQ(read_text("12", Layout("(I2)"), std::span<const Target>(&t, 1)).result, ReadResult::Error);
}

TEST(ReadText, SeveralRecordsSlashReuseAndEnd) {
    Layout l("(I1,D12.5,5X,A20)");
    int code = 0;
    double act = 0;
    std::string name;
    Target t[] = {&code, &act, TextTarget{&name, 20}};
    ASSERT_TRUE(read_text("1-0.12346D+01     GARNET", l, t).done());
    EXPECT_EQ(code, 1);
    EXPECT_DOUBLE_EQ(act, -1.2346);
    EXPECT_EQ(name, "GARNET              ");

    // Reuse: two values per record.
    std::vector<double> v(5, -1);
    std::vector<Target> tv;
    for (double& x : v) tv.push_back(&x);
    std::vector<std::string> recs = {"  1.0  2.0", "  3.0  4.0", "  5.0"};
    ASSERT_TRUE(read_text(recs, Layout("(2F5.1)"), tv).done());
    EXPECT_DOUBLE_EQ(v[4], 5.0);
    std::vector<std::string> short_recs = {"  1.0  2.0", "  3.0  4.0"};
    ReadOutcome r = read_text(short_recs, Layout("(2F5.1)"), tv);
    EXPECT_EQ(r.result, ReadResult::EndOfFile);

    EXPECT_EQ(read_text(std::span<const std::string>(), Layout("(F5.1)"), std::span<const Target>(tv.data(), 1))
                  .result,
              ReadResult::EndOfFile);

    // '/' skips the rest of a record; records_used counts every record taken.
    struct Src final : RecordSource {
        std::vector<std::string> lines;
        std::size_t k = 0;
        bool next(std::string_view& rec) override {
            if (k >= lines.size()) return false;
            rec = lines[k++];
            return true;
        }
    } src;
    src.lines = {"  7.0  8.0", "  9.0", "rest"};
    int used = 0;
    ASSERT_TRUE(readFrom(src, Layout("(F5.1,/,F5.1,/)"), std::span<const Target>(tv.data(), 2), used).done());
    EXPECT_DOUBLE_EQ(v[0], 7.0);
    EXPECT_DOUBLE_EQ(v[1], 9.0);
    EXPECT_EQ(used, 3);
}

TEST(WriteNumbers, FixedPoint) {
    EXPECT_EQ(w1("(F5.4)", 0.1234), ".1234");
    EXPECT_EQ(w1("(F6.4)", 0.1234), "0.1234");
    EXPECT_EQ(w1("(F6.4)", -0.1234), "-.1234");
    EXPECT_EQ(w1("(F7.4)", -0.1234), "-0.1234");
    EXPECT_EQ(w1("(F5.4)", -0.1234), "*****");
    EXPECT_EQ(w1("(F8.1)", 123456.7), "123456.7");
    EXPECT_EQ(w1("(F7.1)", 123456.7), "*******");
    EXPECT_EQ(w1("(F8.2)", 123456.7), "********");
    EXPECT_EQ(w1("(F8.2)", 0.005), "    0.01");
    EXPECT_EQ(w1("(F8.2)", 0.125), "    0.12");  // exact binary tie: to even, as the compiler does
    EXPECT_EQ(w1("(F8.2)", 0.375), "    0.38");
    EXPECT_EQ(w1("(F5.0)", 2.5), "   2.");
    EXPECT_EQ(w1("(F5.0)", -1.5), "  -2.");
    EXPECT_EQ(w1("(F3.0)", 0.4), " 0.");
    EXPECT_EQ(w1("(F1.0)", 0.4), "*");
    EXPECT_EQ(w1("(F3.1)", -0.4), "-.4");
    EXPECT_EQ(w1("(F10.3)", 1e300), "**********");
    // The compiler writes "   -0.00" and "-0."; a value that rounds to zero is
    // written here without its sign.
    EXPECT_EQ(w1("(F8.2)", -0.004), "    0.00");
    EXPECT_EQ(w1("(F3.0)", -0.125), " 0.");
    EXPECT_EQ(w1("(F8.3)", -0.0), "   0.000");
    EXPECT_EQ(formatFixed(12.5, 6, 2), " 12.50");
}

TEST(WriteNumbers, ExponentForms) {
    EXPECT_EQ(w1("(D12.5)", 123456.7), " 0.12346D+06");
    EXPECT_EQ(w1("(E12.5)", 0.005), " 0.50000E-02");
    EXPECT_EQ(w1("(D10.5)", 0.125), ".12500D+00");
    EXPECT_EQ(w1("(D10.5)", -0.125), "**********");
    EXPECT_EQ(w1("(D11.5)", -0.125), "-.12500D+00");
    EXPECT_EQ(w1("(E9.2)", 0.375), " 0.38E+00");
    EXPECT_EQ(w1("(E8.1)", -9.4), "-0.9E+01");
    EXPECT_EQ(w1("(E7.1)", -9.4), "-.9E+01");
    EXPECT_EQ(w1("(E6.1)", -9.4), "******");
    EXPECT_EQ(w1("(D12.5)", 0.0), " 0.00000D+00");
    EXPECT_EQ(w1("(E10.3)", 9.9996), " 0.100E+02");
    EXPECT_EQ(w1("(D12.5)", 1e100), " 0.10000+101");
    EXPECT_EQ(w1("(E12.5)", -1.2345e-120), "-0.12345-119");
    EXPECT_EQ(w1("(D12.1)", 1e-100), "     0.1D-99");
    EXPECT_EQ(formatExponent(-2.5, 12, 5), "-0.25000D+01");
    EXPECT_EQ(formatExponent(-2.5, 12, 5, 'E'), "-0.25000E+01");
}

TEST(WriteNumbers, GeneralFormSwitchesAfterRounding) {
    EXPECT_EQ(w1("(G12.5)", 0.1), " 0.10000    ");
    EXPECT_EQ(w1("(G12.5)", 0.099999999), " 0.10000    ");
    EXPECT_EQ(w1("(G12.5)", 0.00099999), " 0.99999E-03");
    EXPECT_EQ(w1("(G12.5)", 0.000999999), " 0.10000E-02");
    EXPECT_EQ(w1("(G12.5)", 99999.4), "  99999.    ");
    EXPECT_EQ(w1("(G12.5)", 99999.6), " 0.10000E+06");
    EXPECT_EQ(w1("(G12.5)", 1e5), " 0.10000E+06");
    EXPECT_EQ(w1("(G12.5)", -1e-5), "-0.10000E-04");
    EXPECT_EQ(w1("(G12.5)", 123.456), "  123.46    ");
    EXPECT_EQ(w1("(G12.5)", 2.5), "  2.5000    ");
    EXPECT_EQ(w1("(G12.5)", 0.0), "  0.0000    ");
    EXPECT_EQ(w1("(G12.1)", 0.0), "      0.    ");
    EXPECT_EQ(w1("(G12.1)", 0.96), "      1.    ");
    EXPECT_EQ(w1("(G12.1)", 0.94), "     0.9    ");
    EXPECT_EQ(w1("(G23.15)", 0.0), "   0.00000000000000    ");
    EXPECT_EQ(w1("(G23.15)", 1e15), "  0.100000000000000E+16");
    EXPECT_EQ(w1("(G23.15)", 999999999999999.4), "   999999999999999.    ");
    EXPECT_EQ(w1("(G23.15)", -1.5e-300), " -0.150000000000000-299");
    EXPECT_EQ(w1("(G16.10)", -36.5), "-36.50000000    ");
    EXPECT_EQ(w1("(G16.10)", 1234567890123.0), "0.1234567890E+13");
    EXPECT_EQ(w1("(G6.3)", -12.5), "******");
    EXPECT_EQ(w1("(G5.1)", 9.4), "*****");
}

TEST(WriteNumbers, IntegersSpecialsAndMixedKinds) {
    EXPECT_EQ(w1("(I4)", -123LL), "-123");
    EXPECT_EQ(w1("(I2)", 123LL), "**");
    EXPECT_EQ(w1("(I5)", 0LL), "    0");
    EXPECT_EQ(w1("(I3)", 7.9), "  7");   // a real under I is cut toward zero
    EXPECT_EQ(w1("(I3)", -7.9), " -7");
    EXPECT_EQ(w1("(F6.2)", 3LL), "  3.00");
    EXPECT_EQ(w1("(I3)", std::string_view("ab")), "***");
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(w1("(F8.2)", inf), "Infinity");
    EXPECT_EQ(w1("(F8.2)", -inf), "    -Inf");
    EXPECT_EQ(w1("(F3.1)", std::nan("")), "NaN");
    EXPECT_EQ(w1("(G12.5)", std::nan("")), "         NaN");
    EXPECT_EQ(w1("(I3)", std::nan("")), "***");
}

TEST(WriteText, TextItems) {
    // Aw pads on the right.
    EXPECT_EQ(w1("(A8)", std::string_view("abc")), "abc     ");
    EXPECT_EQ(w1("(A2)", std::string_view("abc")), "ab");
    EXPECT_EQ(w1("(A)", std::string_view("abc ")), "abc ");
    std::vector<Value> v = {std::string_view("QUARTZ"), 1.0, -2.5, 0.0, 3e-7};
    EXPECT_EQ(writeLine(Layout("(1X,A20,1X,4G23.15)"), v),
              " QUARTZ                  1.00000000000000      -2.50000000000000    "
              "   0.00000000000000      0.300000000000000E-06");
}

TEST(WriteRecords, ReuseGroupsColonAndTrailingItems) {
    std::vector<Value> forty;
    for (int k = 0; k < 40; ++k) forty.push_back(static_cast<double>(k));
    auto recs = wr("(16F8.1)", forty);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0].size(), 128u);
    EXPECT_EQ(recs[1].size(), 128u);
    EXPECT_EQ(recs[2].size(), 64u);
    EXPECT_EQ(recs[2].substr(56), "    39.0");

    using R = std::vector<std::string>;
    EXPECT_EQ(wr("(2I3,:,'x',I3)", asValues(ints(1, 2))), R{"  1  2"});
    EXPECT_EQ(wr("(2I3,'x',I3)", asValues(ints(1, 2))), R{"  1  2x"});
    EXPECT_EQ(wr("('a',I3,'b')", asValues(ints(1, 3))), (R{"a  1b", "a  2b", "a  3b"}));
    EXPECT_EQ(wr("('a',I3,/'b')", asValues(ints(1, 2))), (R{"a  1", "b", "a  2", "b"}));
    EXPECT_EQ(wr("('h',2('a',I3,'b'))", asValues(ints(1, 5))), (R{"ha  1ba  2b", "a  3ba  4b", "a  5ba"}));
    EXPECT_EQ(wr("('h',2('a',I3,'b'),'t')", asValues(ints(1, 5))),
              (R{"ha  1ba  2bt", "a  3ba  4bt", "a  5ba"}));
    EXPECT_EQ(wr("(I3, 2(1X, 2(I2,'-')))", asValues(ints(1, 10))),
              (R{"  1  2- 3-  4- 5-", "  6- 7-  8- 9-", " 10-"}));
    EXPECT_EQ(wr("(3(I2,:,','))", asValues(ints(1, 7))), (R{" 1, 2, 3,", " 4, 5, 6,", " 7"}));
    EXPECT_EQ(wr("(I2,2(1X,I2,'a'),1X,I2)", asValues(ints(1, 8))), (R{" 1  2a  3a  4", "  5a  6a  7", "  8a"}));
    EXPECT_EQ(wr("(1X,I4,'/',I2,'=Total',/,'  #  dH')", asValues(ints(3, 4))), (R{"    3/ 4=Total", "  #  dH"}));
    EXPECT_EQ(wr("('only text')", {}), R{"only text"});
    EXPECT_EQ(wr("(5X,I3)", {}), R{""});
    EXPECT_EQ(wr("(I3,5X)", asValues(ints(7, 7))), R{"  7"});  // X adds no trailing blanks
    EXPECT_EQ(wr("(/,3A14)", {std::string_view("P"), std::string_view("T")}), (R{"", "P             T             "}));
    // A layout without value items writes once and does not loop.
    EXPECT_EQ(wr("('x')", asValues(ints(1, 3))), R{"x"});
    EXPECT_EQ(writeLine(Layout("(2I2)"), asValues(ints(1, 3))), " 1 2\n 3");
}

// A number too wide for its field is reported with its record, its place in
// the record, the item and the value; a write whose values all fit reports none.
TEST(WriteRecords, OverflowNamesRecordFieldItemAndValue) {
    struct Sink final : RecordSink {
        std::vector<std::string> out;
        void put(std::string_view r) override { out.emplace_back(r); }
    };
    struct Case {
        const char* layout;
        std::vector<Value> values;
        int record, field;
        const char* item;
        const char* value;
    };
    const Case cases[] = {
        {"(F8.1)", {1234567.5}, 1, 1, "F8.1", "1234567.5"},
        {"(2(1X,F9.4,F10.2,I2))", {1.0, 2.0, 2LL, 3.0, 12345678.5, 3LL}, 1, 5, "F10.2", "12345678.5"},
        {"(I2,F5.1)", {1LL, 2.0, 3LL, -100.0}, 2, 2, "F5.1", "-100"},
        {"(I3)", {1LL, 1000LL}, 2, 1, "I3", "1000"},
        {"(1X,D8.3)", {-1.0e100}, 1, 1, "D8.3", "-1e+100"},
        {"(F10.3,F10.7,5X,A)", {1.0, 0.35, std::string_view("a long label is text, never an overflow")}, 0, 0,
         "", ""},
    };
    for (const Case& c : cases) {
        Sink sink;
        FieldOverflow o;
        o.field = 99;  // cleared by the write
        writeTo(sink, Layout(c.layout), c.values, &o);
        EXPECT_EQ(o.record, c.record) << c.layout;
        EXPECT_EQ(o.field, c.field) << c.layout;
        EXPECT_EQ(o.item, c.item) << c.layout;
        EXPECT_EQ(o.value, c.value) << c.layout;
    }
}

TEST(FreeFormat, ReadAndWrite) {
    int i = 0;
    double d = 0, e = -1;
    std::string s;
    Target t[] = {&i, &d, TextTarget{&s, 6}, &e};
    ASSERT_TRUE(read_free(" 12, 2.5e1 'a,''b' ", t).done());
    EXPECT_EQ(i, 12);
    EXPECT_DOUBLE_EQ(d, 25.0);
    EXPECT_EQ(s, "a,'b  ");
    EXPECT_DOUBLE_EQ(e, -1);  // missing value: left as it was

    ASSERT_TRUE(read_free("7,,3", t).done());  // null value
    EXPECT_EQ(i, 7);
    EXPECT_DOUBLE_EQ(d, 25.0);
    EXPECT_EQ(s, "3     ");

    double r[3] = {0, 0, 0};
    Target tr[] = {&r[0], &r[1], &r[2]};
    ASSERT_TRUE(read_free("2*1.5 4 / 9", tr).done());
    EXPECT_DOUBLE_EQ(r[1], 1.5);
    EXPECT_DOUBLE_EQ(r[2], 4.0);

    ReadOutcome bad = read_free("1 2.5 x", tr);
    EXPECT_EQ(bad.result, ReadResult::Error);
    EXPECT_EQ(bad.field, 3);
    EXPECT_EQ(bad.text, "x");
    EXPECT_EQ(read_free("1.5", std::span<const Target>(t, 1)).result, ReadResult::Error);

    std::vector<Value> v = {3LL, 0.1, std::string_view("ab"), 1e20, -2.0};
    EXPECT_EQ(write_free(v), "3 0.1 ab 1e+20 -2");
}

}  // namespace
}  // namespace core
