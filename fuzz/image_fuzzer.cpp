// Any bytes as an image file, turned into a picture as `telvane-cli encode`
// does. LoadPicture takes a path, so each input goes into an in-memory file
// opened through /proc/self/fd; the path has no suffix, so Qt picks the
// format by content alone.

#include <QCoreApplication>
#include <QImageReader>
#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/feedback.hpp"
#include "fuzz/memory_file.hpp"
#include "image_input.hpp"

namespace {

MemoryFile* input = nullptr;

void Fail(const char* what)
{
    std::fprintf(stderr, "image_fuzzer: %s\n", what);
    std::abort();
}

// What Qt made of the file, for libFuzzer to tell inputs apart by: the
// format it was read as, the orders of magnitude of its sizes and of their
// ratio, and the kind of error.
void MarkImage(const std::string& error)
{
    QImageReader reader(QString::fromStdString(input->Path()));
    feedback::Mark(0, feedback::Kind(reader.format().toStdString()));
    const QSize size = reader.size();
    const auto width = static_cast<std::uint64_t>(std::max(size.width(), 0));
    const auto height = static_cast<std::uint64_t>(std::max(size.height(), 0));
    feedback::Mark(1, feedback::Magnitude(width));
    feedback::Mark(2, feedback::Magnitude(height));
    if (width > 0 && height > 0)
        feedback::Mark(3, 32 + feedback::Magnitude(width / height) - feedback::Magnitude(height / width));
    feedback::Mark(4, static_cast<std::uint64_t>(reader.imageFormat()));
    feedback::Mark(5, feedback::Kind(error));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // As in telvane-cli: the application object lets Qt find its image
    // format plugins. It lives as long as the process.
    static int argc = 1;
    static char name[] = "image_fuzzer";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    // Qt warns about every broken image; only a fatal message (Qt aborts
    // after it) is worth printing.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
    });

    static MemoryFile file("image");
    input = &file;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    input->Hold(data, size);

    Picture picture{};
    std::string error;
    if (!LoadPicture(input->Path(), picture, error) && error.empty()) Fail("a failed load gave no reason");
    MarkImage(error);
    return 0;
}
