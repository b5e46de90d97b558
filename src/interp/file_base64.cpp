// CODARQBASE64 and DECODARQBASE64: a file to Base64 and back.
#include <memory>

#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/file.h"
#include "text/encodings.h"

namespace parlendo {

namespace {

// The two files of a file conversion: the source, which must exist, and the target, replaced.
bool openConversionFiles(Interpreter& in, std::string_view args, std::unique_ptr<File>& source,
                         std::unique_ptr<File>& target) {
    std::string sourceName, targetName;
    if (!readValue(in, args, sourceName) || !readValue(in, args, targetName)) return false;
    source = File::open(sourceName, "rb");
    if (!source) return false;
    target = File::open(targetName, "wb");
    return target != nullptr;
}

}  // namespace

bool cmdCodArqBase64(Interpreter& in, std::string_view args, int) {
    std::unique_ptr<File> source, target;
    if (!openConversionFiles(in, args, source, target)) return false;
    text::Base64LineEncoder encoder;
    char block[1024];
    std::string lines;
    for (;;) {
        size_t n = source->read(block, sizeof block);
        if (n == 0) break;
        lines.clear();
        encoder.feed(std::string_view(block, n), lines);
        if (!target->write(lines)) return false;
    }
    if (source->failed()) return false;
    lines.clear();
    encoder.finish(lines);
    return target->write(lines) && target->close();
}

bool cmdDecodArqBase64(Interpreter& in, std::string_view args, int) {
    std::unique_ptr<File> source, target;
    if (!openConversionFiles(in, args, source, target)) return false;
    text::Base64Decoder decoder;
    std::string out;
    char block[1024];
    for (;;) {
        size_t n = source->read(block, sizeof block);
        if (n == 0) break;
        out.clear();
        bool more = decoder.feed(std::string_view(block, n), out);
        if (!target->write(out)) return false;
        if (!more) break;
    }
    if (source->failed()) return false;
    out.clear();
    decoder.finish(out);
    return target->write(out) && target->close();
}

}  // namespace parlendo
