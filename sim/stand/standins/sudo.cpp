// Stand-in for sudo on a simulated stand, where the stand program starts the
// flasher as "sudo ./Velk_Flasher Osmu_v324.bin". On the stand that runs it as
// root; here it runs the command as the same user with the environment kept
// (as "sudo -E" would), so that the flasher finds the same stand through
// VELK_SIM_STATE. The launcher puts it first on the program's PATH as `sudo`.
// A command that cannot be run is reported as sudo reports it, status 1.
// Leaves out: options, authentication, the security policy, another user.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: sudo command [arg ...]   (the simulated stand's stand-in: no options)\n", stderr);
    return 1;
  }
  if (argv[1][0] == '-') {
    std::fprintf(stderr, "sudo: %s: the simulated stand's sudo takes no options\n", argv[1]);
    return 1;
  }
  ::execvp(argv[1], argv + 1);
  if (errno == ENOENT || errno == EACCES || errno == ENOTDIR)
    std::fprintf(stderr, "sudo: %s: command not found\n", argv[1]);
  else
    std::fprintf(stderr, "sudo: unable to execute %s: %s\n", argv[1], std::strerror(errno));
  return 1;
}
