#include "text/charset.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace sayvell::text {
namespace {

// iconv descriptors are not thread-safe; one per call is cheap next to the conversion.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

QString decodeCharset(const char* charset, QByteArrayView bytes, qsizetype* bad) {
    if (bad) *bad = 0;
    Iconv cd("UTF-16LE", charset);
    if (!cd.valid()) return QString::fromLatin1(bytes);
    QString out;
    out.reserve(bytes.size());
    QByteArray buf(64 * 1024, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = static_cast<size_t>(buf.size());
        const size_t r = iconv(cd.get(), &in, &inLeft, &o, &oLeft);
        const int err = errno;
        out.append(QStringView(reinterpret_cast<const char16_t*>(buf.constData()),
                               (buf.size() - static_cast<qsizetype>(oLeft)) / 2));
        if (r != static_cast<size_t>(-1)) break;
        if (err == E2BIG) continue;
        // EILSEQ or EINVAL (truncated last character): keep going after the bad byte.
        out.append(QChar(QChar::ReplacementCharacter));
        if (bad) ++*bad;
        ++in;
        --inLeft;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

QByteArray encodeCharset(const char* charset, const QString& text, bool* lossless) {
    if (lossless) *lossless = true;
    Iconv cd(charset, "UTF-16LE");
    if (!cd.valid()) return text.toLatin1();
    QByteArray out;
    out.reserve(text.size() * 2);
    QByteArray buf(64 * 1024, Qt::Uninitialized);
    char* in = reinterpret_cast<char*>(const_cast<ushort*>(text.utf16()));
    size_t inLeft = static_cast<size_t>(text.size()) * 2;
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = static_cast<size_t>(buf.size());
        const size_t r = iconv(cd.get(), &in, &inLeft, &o, &oLeft);
        const int err = errno;
        out.append(buf.constData(), buf.size() - static_cast<qsizetype>(oLeft));
        if (r != static_cast<size_t>(-1)) break;
        if (err == E2BIG) continue;
        if (lossless) *lossless = false;
        out.append('?');
        // Skip the whole character: two units for a surrogate pair.
        const char16_t unit =
            static_cast<char16_t>(static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8));
        const size_t skip = (QChar::isHighSurrogate(unit) && inLeft >= 4) ? 4 : 2;
        in += skip;
        inLeft -= std::min(skip, inLeft);
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    // Stateful code pages end with a shift back to their initial state.
    char* o = buf.data();
    size_t oLeft = static_cast<size_t>(buf.size());
    iconv(cd.get(), nullptr, nullptr, &o, &oLeft);
    out.append(buf.constData(), buf.size() - static_cast<qsizetype>(oLeft));
    return out;
}

}  // namespace sayvell::text
