#pragma once
// Owners of libcurl's opaque handles, for the code that does not include curl.h itself.
#include <cstdio>
#include <memory>

namespace hvn {

struct CurlEasyDeleter {
    void operator()(void *easy) const;
};
struct CurlMultiDeleter {
    void operator()(void *multi) const;
};
struct TargetFileCloser {
    void operator()(FILE *file) const;
};
using CurlEasyHandle = std::unique_ptr<void, CurlEasyDeleter>;
using CurlMultiHandle = std::unique_ptr<void, CurlMultiDeleter>;
using TargetFileStream = std::unique_ptr<FILE, TargetFileCloser>;

} // namespace hvn
