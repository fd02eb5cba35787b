// A music file of any content: opened or refused, decoded to its end without a crash.
#include "fuzz_input.h"
#include "music/music_decoder.h"

#include <QDir>
#include <QFile>

using namespace sayvell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString path = QDir::tempPath() + QStringLiteral("/sayvell-fuzz-%1.mp3").arg(getpid());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QString error;
    auto decoder = music::MusicDecoder::open(path, &error);
    if (!decoder) {
        FUZZ_REQUIRE(!error.isEmpty());
        return 0;
    }
    FUZZ_REQUIRE(decoder->rate() > 0 && decoder->channels() > 0);
    std::vector<std::int16_t> pcm;
    std::size_t frames = 0;
    // A damaged file may claim any length; a bounded read keeps the run short.
    for (int i = 0; i < 200; ++i) {
        const std::size_t n = decoder->read(&pcm, 4096);
        if (n == 0) break;
        FUZZ_REQUIRE(pcm.size() == n * std::size_t(decoder->channels()));
        frames += n;
    }
    (void)frames;
    decoder->rewind();
    return 0;
}
