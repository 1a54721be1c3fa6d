#pragma once
// Temporary directories for tests, removed with everything in them when the
// object goes. TempRoot also stands as MOBREL_ROOT while it lives, so every
// fixed path of the code under test resolves below it. And reading the files
// the code under test writes.

#include <string>

namespace support {

class TempDir {
public:
    TempDir();
    TempDir(TempDir const&) = delete;
    TempDir& operator=(TempDir const&) = delete;
    ~TempDir();

    std::string const& path() const { return path_; }
    // The path of a file or directory below ("/var/run/x.sock").
    std::string under(std::string const& relative) const { return path_ + relative; }
    // Creates the directories of a path below ("dev/misc"); the full path.
    std::string mkdirs(std::string const& relative) const;

private:
    std::string path_;
};

class TempRoot : public TempDir {
public:
    TempRoot();
    ~TempRoot();
};

// The whole file; empty when it cannot be read.
std::string readFile(std::string const& path);
bool fileExists(std::string const& path);

}  // namespace support
