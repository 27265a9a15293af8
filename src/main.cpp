// Process set-up, then the program's entry.
#include "app/startup.h"
#include "core/fs.h"

#include <csignal>

namespace {

// A relative argument names a file seen from where the program was started; the
// program then works from its own directory, so such a path is made absolute first.
std::string ArgumentPath(const std::string &arg, const std::string &startDir) {
    if (arg.empty() || arg[0] == '/' || startDir.empty())
        return arg;
    const std::string path = startDir + "/" + arg;
    return hvn::FileType(path) != hvn::FileKind::None ? path : arg;
}

} // namespace

int main(int argc, char **argv) {
    // Writes to a closed socket must fail with EPIPE, not kill the player.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string startDir = hvn::CurrentDir();
    // Every data path is relative to the program's own directory.
    const std::string dir = hvn::ExecutableDir();
    if (!dir.empty())
        hvn::ChangeDir(dir);
    for (int i = 1; i < argc; ++i)
        hvn::ProgramArguments.push_back(ArgumentPath(argv[i], startDir));
    hvn::ProgramEntry();
    return 0;
}
