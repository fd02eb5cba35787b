#pragma once
// Cuts a fuzzer's bytes into the arguments of one call, and stops the run when a property
// the code promises does not hold.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace sayvell::fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}

    std::uint8_t byte() {
        if (!left_) return 0;
        --left_;
        return *p_++;
    }
    int number(int limit) { return limit <= 0 ? 0 : int((byte() << 8 | byte()) % limit); }
    // A piece ended by a 0 byte, or the rest.
    QByteArray piece() {
        std::size_t n = 0;
        while (n < left_ && p_[n] != 0) ++n;
        QByteArray out(reinterpret_cast<const char*>(p_), qsizetype(n));
        const std::size_t used = n < left_ ? n + 1 : n;
        p_ += used;
        left_ -= used;
        return out;
    }
    QString text() { return QString::fromUtf8(piece()); }
    QByteArray rest() {
        QByteArray out(reinterpret_cast<const char*>(p_), qsizetype(left_));
        p_ += left_;
        left_ = 0;
        return out;
    }
    bool empty() const { return left_ == 0; }

private:
    const std::uint8_t* p_;
    std::size_t left_;
};

[[noreturn]] inline void broken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

#define FUZZ_REQUIRE(cond)                           \
    do {                                             \
        if (!(cond)) ::sayvell::fuzz::broken(#cond); \
    } while (0)

}  // namespace sayvell::fuzz
