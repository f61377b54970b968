#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zimo::test {

// Two ordinary users for tests about rights: the user who edits, and a second, hostile user on
// the same machine. Root ignores file modes, so such tests run their work as one of these.
constexpr uid_t editingUser = 65534;
constexpr uid_t otherUser = 65533;

// Whether this process can take another user's rights (it runs as root, as CI does). Tests about
// rights skip, saying so, where it cannot.
inline bool canRunAsUser()
{
    return ::geteuid() == 0;
}

// Runs `work` in a child process that has given up root for `uid` (group of the same number, no
// other groups) and returns the bytes `work` returned; nothing when the child could not take the
// user's rights or died. The child shares nothing with the test but the file system, so `work`
// reports what it saw in the bytes it returns (for example "ok" or the error text).
inline std::optional<QByteArray> runAsUser(uid_t uid, const std::function<QByteArray()> &work)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0)
            ::_exit(2);
        const QByteArray result = work();
        qsizetype done = 0;
        while (done < result.size()) {
            const ssize_t n = ::write(pipeEnds[1], result.constData() + done, result.size() - done);
            if (n <= 0)
                ::_exit(3);
            done += n;
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    QByteArray result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.append(buffer, n);
    }
    ::close(pipeEnds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return result;
}

} // namespace zimo::test
