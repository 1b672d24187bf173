// Another user's program that takes a name in Linux's abstract socket namespace (any local user
// can, and can read the names in use from /proc/net/unix) and answers every caller the way a
// running palette answers a second start: "done". Says "holding" on stdout once it listens.
// usage: name_squatter NAME
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: name_squatter NAME\n");
        return 2;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(std::strlen(argv[1]), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, argv[1], length);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address),
               socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length)) != 0 ||
        ::listen(fd, 8) != 0) {
        std::perror("name_squatter");
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;) {
        const int caller = ::accept(fd, nullptr, nullptr);
        if (caller < 0)
            continue;
        char request[64];
        (void)::recv(caller, request, sizeof request, 0);
        (void)::send(caller, "done\n", 5, MSG_NOSIGNAL);
        ::close(caller);
    }
}
