// Process set-up, then the program's entry.
#include "app/startup.h"
#include "core/fs.h"

#include <csignal>

int main(int argc, char **argv) {
    // Writes to a closed socket must fail with EPIPE, not kill the player.
    std::signal(SIGPIPE, SIG_IGN);
    // Every data path is relative to the program's own directory.
    const std::string dir = hvn::ExecutableDir();
    if (!dir.empty())
        hvn::ChangeDir(dir);
    for (int i = 1; i < argc; ++i)
        hvn::ProgramArguments.emplace_back(argv[i]);
    hvn::ProgramEntry();
    return 0;
}
