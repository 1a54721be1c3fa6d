// A stand-in for the T.38 gateway program, installed by the T.38 slot tests
// as $MOBREL_ROOT/usr/local/sbin/t38. It keeps what it was given in
// $MOBREL_ROOT/t38/:
//
//   t38 --num-of-instances   prints the text of t38/instances (nothing when
//                            there is none); when that text begins with
//                            "hang" it prints nothing and never ends
//   t38 ARG...               runs in a process group of its own, writes its
//                            arguments, argv[0] first, one a line, to
//                            t38/<pid>.args, and appends its standard input
//                            to t38/<pid>.in until it ends. SIGTERM writes
//                            t38/<pid>.term and exits with 0; SIGUSR1 exits
//                            with 3.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

std::string folder() {
    char const* root = std::getenv("MOBREL_ROOT");
    return std::string(root ? root : ".") + "/t38/";
}

char term_file[4096];

void on_term(int) {
    int const fd = ::open(term_file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        ssize_t const n = ::write(fd, "SIGTERM\n", 8);
        (void)n;
        ::close(fd);
    }
    ::_exit(0);
}

void on_usr1(int) { ::_exit(3); }

int count_instances() {
    std::ifstream in(folder() + "instances");
    std::string const text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.compare(0, 4, "hang") == 0)
        for (;;) ::pause();
    std::cout << text << std::flush;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--num-of-instances") return count_instances();

    ::setpgid(0, 0);
    std::string const dir = folder();
    ::mkdir(dir.c_str(), 0755);
    std::string const base = dir + std::to_string(::getpid());
    std::snprintf(term_file, sizeof(term_file), "%s.term", base.c_str());
    ::signal(SIGTERM, on_term);
    ::signal(SIGUSR1, on_usr1);

    // Written whole under another name first, so a reader never sees a part.
    {
        std::ofstream args(base + ".args.part");
        for (int i = 0; i < argc; ++i) args << argv[i] << '\n';
    }
    std::rename((base + ".args.part").c_str(), (base + ".args").c_str());

    int const in = ::open((base + ".in").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    char buffer[65536];
    for (;;) {
        ssize_t const got = ::read(0, buffer, sizeof(buffer));
        if (got <= 0) break;
        ssize_t const put = ::write(in, buffer, size_t(got));
        (void)put;
    }
    return 0;
}
