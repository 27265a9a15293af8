#pragma once
// A fresh directory under /tmp for one test, removed with everything in it afterwards.
#include "core/fs.h"

#include <cstdlib>
#include <string>

namespace hvn::test {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/hvn-core-test-XXXXXX";
        const char *made = ::mkdtemp(pattern);
        path_ = made ? made : "";
    }
    ~TempDir() {
        if (!path_.empty()) {
            DeleteDir(path_, true);
        }
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace hvn::test
