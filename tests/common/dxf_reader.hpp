// A small DXF reader for the tests, written apart from the program's writer:
// group codes and values in pairs, the SECTION ... ENDSEC structure ending
// in EOF, and the entities POLYLINE (with its VERTEX records up to SEQEND),
// LINE, CIRCLE and TEXT.
#pragma once
#include <string>
#include <vector>

namespace testdxf {

struct Entity {
    std::string type;                      // POLYLINE, TEXT, LINE, CIRCLE, ...
    std::string layer;
    std::vector<std::pair<double, double>> vertices;  // POLYLINE
    double x = 0, y = 0;                   // TEXT, CIRCLE: first point
    double height = 0, rotation = 0;       // TEXT
    std::string text;                      // TEXT
};

struct Drawing {
    std::vector<std::string> comments;     // group 999
    std::vector<std::string> sections;     // names, in order
    std::vector<Entity> entities;
};

// Returns an empty string on success, else what is wrong.
std::string read(const std::string& content, Drawing& out);

}  // namespace testdxf
