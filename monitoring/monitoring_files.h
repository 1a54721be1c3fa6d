#pragma once
// The monitoring files under /var/monitoring/: plain text, one file per
// item named after it, one value per line. Each file is written whole to a
// temporary file that is then renamed over the old one, so that a reader
// never sees half of it, and only when its text changed. The monitoring
// controller writes them; operators' scripts read them.

#include <map>
#include <set>
#include <string>
#include <vector>

inline constexpr char monitoring_directory[] = "/var/monitoring";

// A text as one line of a file: a backslash written as "\\" and every
// control character or byte above 126 as "\xHH", so that no text can end
// the line or begin another.
std::string OneLine(std::string const& text);

// What ends a line cut to its bound.
inline constexpr char cut_mark[] = "...[cut]";
// A line of OneLine at most `bound` characters long: a longer one is cut
// (never inside an escape) and ends with cut_mark. `bound` is longer than
// the mark.
std::string CutLine(std::string const& line, size_t bound);

class MonitoringFiles {
public:
    // Writes the file `name` with one line per value (each through OneLine).
    // A failure is told once on the error stream until a write succeeds.
    void Write(std::string const& name, std::vector<std::string> const& values);
    void Remove(std::string const& name);

private:
    // The text last written of each file.
    std::map<std::string, std::string> written_;
    std::set<std::string> failing_;
};
