#include "audio/av_result.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

#include "audio/fmod.h"

namespace hvn {

int net_result(int e) {
    switch (e) {
    case AVERROR_HTTP_NOT_FOUND:
        return FMOD_ERR_HTTP_NOT_FOUND;
    case AVERROR_HTTP_UNAUTHORIZED:
    case AVERROR_HTTP_FORBIDDEN:
        return FMOD_ERR_HTTP_ACCESS;
    case AVERROR_HTTP_BAD_REQUEST:
    case AVERROR_HTTP_OTHER_4XX:
    case AVERROR_HTTP_SERVER_ERROR:
        return FMOD_ERR_HTTP;
    case AVERROR(ETIMEDOUT):
        return FMOD_ERR_NET_TIMEOUT;
    case AVERROR(ECONNREFUSED):
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
    case AVERROR(EADDRNOTAVAIL):
    case AVERROR_PROTOCOL_NOT_FOUND:
        return FMOD_ERR_NET_CONNECT;
    case AVERROR_EOF:
        return FMOD_ERR_FILE_EOF;
    case AVERROR_INVALIDDATA:
        return FMOD_ERR_HTTP;
    case AVERROR(ENOMEM):
        return FMOD_ERR_MEMORY;
    default:
        return FMOD_ERR_NET_READ;
    }
}

} // namespace hvn
