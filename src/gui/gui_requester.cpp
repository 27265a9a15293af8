// Modal requesters, answered by the test hook when one is set.
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

#include <cstdio>

namespace hvn {

namespace {

RequesterHook &Hook() {
    static RequesterHook hook;
    return hook;
}

// "Images:png,jpg;All files:*" -> "Images\t*.{png,jpg}\nAll files\t*".
std::string ToFlFilter(const std::string &filter) {
    std::string out;
    size_t start = 0;
    while (start < filter.size()) {
        size_t end = filter.find(';', start);
        if (end == std::string::npos)
            end = filter.size();
        const std::string part = filter.substr(start, end - start);
        start = end + 1;
        const size_t colon = part.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = part.substr(0, colon);
        const std::string exts = part.substr(colon + 1);
        if (!out.empty())
            out += '\n';
        out += name + '\t';
        if (exts == "*")
            out += "*";
        else if (exts.find(',') == std::string::npos)
            out += "*." + exts;
        else
            out += "*.{" + exts + "}";
    }
    return out;
}

std::string &DialogTitle() {
    static std::string title;
    return title;
}

} // namespace

void SetDialogTitle(const std::string &title) {
    DialogTitle() = title;
    fl_message_title_default(DialogTitle().c_str());
}

const RequesterHook &CurrentRequesterHook() {
    return Hook();
}

void SetRequesterHook(RequesterHook hook) {
    Hook() = std::move(hook);
}

bool Confirm(const std::string &text, bool /*serious*/) {
    if (Hook())
        return Hook()("confirm", text) == "yes";
    return fl_choice("%s", "No", "Yes", nullptr, EscapeLabel(text, false).c_str()) == 1;
}

void Notify(const std::string &text, bool serious) {
    if (Hook()) {
        Hook()("notify", text);
        return;
    }
    // The box draws its text as a label: "@" would start a symbol.
    const std::string shown = EscapeLabel(text, false);
    if (serious)
        fl_alert("%s", shown.c_str());
    else
        fl_message("%s", shown.c_str());
}

std::string RequestFile(const std::string &title, const std::string &filter, bool save,
                        const std::string &path) {
    if (Hook())
        return Hook()("file", title);
    Fl_Native_File_Chooser chooser;
    chooser.title(title.c_str());
    chooser.type(save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                      : Fl_Native_File_Chooser::BROWSE_FILE);
    const std::string flFilter = ToFlFilter(filter);
    if (!flFilter.empty())
        chooser.filter(flFilter.c_str());
    if (!path.empty())
        chooser.preset_file(path.c_str());
    if (chooser.show() != 0 || !chooser.filename())
        return "";
    return chooser.filename();
}

bool RequestColor(int r, int g, int b, Rgb &picked) {
    if (Hook()) {
        const std::string answer = Hook()("color", "");
        int pr, pg, pb;
        if (std::sscanf(answer.c_str(), "%d,%d,%d", &pr, &pg, &pb) != 3)
            return false;
        picked = Rgb{pr, pg, pb};
        return true;
    }
    auto clamp = [](int v) { return static_cast<uchar>(v < 0 ? 0 : v > 255 ? 255 : v); };
    uchar cr = clamp(r), cg = clamp(g), cb = clamp(b);
    if (!fl_color_chooser(DialogTitle().c_str(), cr, cg, cb))
        return false;
    picked = Rgb{cr, cg, cb};
    return true;
}

} // namespace hvn
