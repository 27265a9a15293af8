// Small text helpers of the connecting routine.
#include "playback/playback.h"

#include "core/strings.h"

namespace hvn {

std::string OpenStateText(int state) {
    switch (state) {
    case 0:
        return " - Ready!";
    case 1:
        return " - Loading!";
    case 2:
        return " - Error!";
    case 4:
        return " - Buffering!";
    case 5:
        return " - Seeking!";
    case 7:
        return " - Set Position!";
    case 8:
        return " - Max!";
    default: // connecting (3), playing (6) and unknown states show nothing
        return "";
    }
}

std::string UrlHost(const std::string &url) {
    std::vector<std::string> pieces = Split(url, "://");
    std::string host = pieces.size() >= 2 ? pieces[1] : url;
    host = host.substr(0, host.find('/'));
    return host.substr(0, host.find('?'));
}

std::string EncodeUrlSpaces(const std::string &text) {
    return Replace(text, " ", "%20");
}

} // namespace hvn
