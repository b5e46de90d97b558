// File and directory commands: channels, removing, renaming and copying files, directories,
// directory search, file sizes, and the binary output file fed from the byte buffer.
#include "commands/files.h"

#include <cerrno>
#include <charconv>
#include <memory>
#include <optional>
#include <string>

#include "commands/byte_buffer.h"
#include "commands/command_state.h"
#include "commands/directory_search.h"
#include "commands/file_slots.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/file_system.h"
#include "platform/locale.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

constexpr std::string_view kOpenError = "Erro na abertura do arquivo ";
constexpr std::string_view kCloseError = "Erro no fechamento do arquivo";
constexpr std::string_view kRemoveError = "Erro no apagamento do arquivo ";
constexpr std::string_view kReadError = "Erro no processamento de arquivo ";
constexpr std::string_view kWriteError = "Erro na escrita de arquivo ";
constexpr std::string_view kDirectoryError = "Erro no processamento do diretório "_cp;
constexpr std::string_view kChannelError = "Erro no processamento de arquivo";

// REPLICA copies through the program in blocks of this size; the system, which copies without
// handing the bytes over, is given larger pieces.
constexpr size_t kCopyBlock = 30000;
constexpr size_t kSystemCopyPiece = size_t{1} << 30;

std::string message(std::string_view text, std::string_view name) {
    std::string m(text);
    m += name;
    return m;
}

using text::takeUpperPrefix;

bool nothingLeft(std::string_view rest) {
    dropBlanks(rest);
    return rest.empty();
}

}  // namespace

// ---- The channel forms of LE and ESCREVE -------------------------------------------------

bool readChannelLine(Interpreter& in, int slot, std::string_view rest) {
    int variable;
    const bool named = readVariable(in, rest, variable);
    if (!named || !in.state->channels.isOpen(slot)) {
        in.showMessage(kChannelError);
        if (!named) return in.fail(kNoVariable);
        return in.fail("canal fechado: #" + std::to_string(slot));
    }
    std::string line;
    in.ioStatus = in.state->channels.channel(slot)->readLine(line, in.maxTextSize);
    return in.assign(variable, std::move(line));
}

bool writeChannelText(Interpreter& in, int slot, std::string_view rest, bool endLine) {
    std::string out;
    bool allRead = readValueList(in, rest, out);
    if (!in.state->channels.isOpen(slot)) {
        // Nothing is written; the user hears why, and a script that checks sees it too: a
        // status of 0 would call the line that was never written a success.
        in.showMessage(kChannelError);
        in.ioStatus = EBADF;
        return allRead;
    }
    // A line with a value that could not be read would be a wrong line in the file.
    if (!allRead) return false;
    in.ioStatus = in.state->channels.channel(slot)->writeText(out, endLine);
    return true;
}

// ---- Channels ------------------------------------------------------------------------------

bool cmdAbre(Interpreter& in, std::string_view args, int) {
    bool append = takeTrailingAmpersand(args);
    int slot;
    std::string name;
    if (!readChannel(args, slot) || !readValue(in, args, name) || name.empty()) {
        in.showMessage(kOpenError);
        return in.fail("falta o canal (#0 a #9) ou o nome do arquivo");
    }
    // Whatever the slot held is closed first, so nothing written to it is lost.
    if (in.state->channels.close(slot) != 0) return in.failShowing(kCloseError);
    SysError error = 0;
    auto mode = append ? TextFileChannel::Mode::Append : TextFileChannel::Mode::Read;
    std::unique_ptr<TextFileChannel> channel = TextFileChannel::open(name, mode, error);
    if (!channel) return in.failShowing(message(kOpenError, name));
    in.state->channels.bind(slot, std::move(channel));
    return true;
}

bool cmdFecha(Interpreter& in, std::string_view args, int) {
    int slot;
    if (!readChannel(args, slot)) {
        in.showMessage(kCloseError);
        return in.fail(std::string(kBadChannel) + std::string(args));
    }
    if (in.state->channels.close(slot) != 0) return in.failShowing(kCloseError);
    return true;
}

bool cmdCheca(Interpreter& in, std::string_view args, int) {
    int variable;
    if (!readVariable(in, args, variable) || !args.empty()) return false;
    return in.assign(variable, std::to_string(in.ioStatus));
}

// ---- Files ---------------------------------------------------------------------------------

bool cmdRemove(Interpreter& in, std::string_view args, int) {
    bool ignoreFailure = takeTrailingAmpersand(args);
    std::string name;
    if (!readValue(in, args, name) || name.empty()) return false;
    if (removeFile(name) == 0 || ignoreFailure) return true;
    return in.failShowing(message(kRemoveError, name));
}

// RENOMEIA old new [SUBSTITUI] [&]. A new name that exists is never replaced, unless SUBSTITUI
// asks for it: then the file under it is replaced in one step, so that it is always whole, the
// old or the new (a file made beside it, in the same folder, is how a script saves safely). The
// channel status is the system's answer: 0 when renamed.
bool cmdRenomeia(Interpreter& in, std::string_view args, int) {
    bool ignoreFailure = takeTrailingAmpersand(args);
    std::string from, to;
    if (!readValue(in, args, from) || !readValue(in, args, to)) return false;
    dropBlanks(args);
    const bool replacing = takeUpperPrefix(args, "SUBSTITUI");
    if (!nothingLeft(args)) return false;
    SysError error = replacing ? replaceFileByRename(from, to) : renameFile(from, to);
    in.ioStatus = error;
    if (error == 0 || ignoreFailure) return true;
    return in.fail("não foi possível renomear "_cp + from);
}

namespace {

// The close is the last chance to hear that a copy did not reach the disk.
bool closeCopy(Interpreter& in, FileHandle& target, const std::string& targetName, bool ignoreErrors) {
    if (target.close() == 0 || ignoreErrors) return true;
    return in.failShowing(message(kWriteError, targetName));
}

}  // namespace

bool cmdReplica(Interpreter& in, std::string_view args, int) {
    bool ignoreErrors = takeTrailingAmpersand(args);
    std::string sourceName, targetName;
    if (!readValue(in, args, sourceName) || !readValue(in, args, targetName) || !nothingLeft(args))
        return false;
    // Emptying the destination would destroy the source when both are one file.
    if (sameFile(sourceName, targetName)) return ignoreErrors;
    SysError error = 0;
    FileHandle source = FileHandle::open(sourceName, FileHandle::Mode::Read, error);
    // The destination is created only once there is something to copy into it.
    if (!source.isOpen()) return ignoreErrors;
    FileHandle target = FileHandle::open(targetName, FileHandle::Mode::Truncate, error);
    if (!target.isOpen()) return ignoreErrors;
    // The system copies the bytes itself where it can. Where it cannot, or meets an error, the
    // copy goes on from the same place through the program, which tells a read error from a
    // write error; the end the system reports is confirmed there too, since some files (those
    // of /proc) look empty to the system's copy.
    for (;;) {
        std::optional<size_t> copied = source.copyTo(target, kSystemCopyPiece);
        if (!copied || *copied == 0) break;
    }
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    for (;;) {
        IoResult got = source.read(block.get(), kCopyBlock);
        if (got.error != 0) {
            if (ignoreErrors) return true;
            return in.failShowing(message(kReadError, sourceName));
        }
        if (got.count == 0) break;
        IoResult put = target.write(std::string_view(block.get(), got.count));
        if (put.count < got.count && !ignoreErrors) {
            return in.failShowing(message(kWriteError, targetName));
        }
    }
    return closeCopy(in, target, targetName, ignoreErrors);
}

// ---- Directories ---------------------------------------------------------------------------

bool cmdDir(Interpreter& in, std::string_view args, int) {
    bool ignoreFailure = takeTrailingAmpersand(args);
    std::string_view rest = args;
    SysError (*operation)(std::string_view);
    if (takeUpperPrefix(rest, "CRIA "))
        operation = createDirectory;
    else if (takeUpperPrefix(rest, "REMOVE "))
        operation = removeDirectory;
    else if (takeUpperPrefix(rest, "TROCA "))
        operation = changeDirectory;
    else
        return false;
    std::string path;
    if (!readValue(in, rest, path) || !rest.empty()) return false;
    if (operation(path) == 0 || ignoreFailure) return true;
    return in.failShowing(message(kDirectoryError, path));
}

bool cmdBusca(Interpreter& in, std::string_view args, int) {
    int variable;
    if (!readVariable(in, args, variable) || args.empty()) return false;
    bool directories = false;
    if (args.size() >= 3 && (args.size() == 3 || text::isBlank(args[3])) && takeUpperPrefix(args, "DIR")) {
        directories = true;
        dropBlanks(args);
    }
    DirectorySearch& search = in.state->directorySearch;
    std::string found;
    if (takeUpperPrefix(args, "FIM")) {
        search.close();
        return true;
    }
    if (takeUpperPrefix(args, "PROXIMO") || takeUpperPrefix(args, "PR\xD3XIMO")) {
        if (!nothingLeft(args)) return false;
        found = search.next();
    } else if (!args.empty()) {
        std::string pattern;
        if (!readValue(in, args, pattern) || !args.empty()) return false;
        found = search.start(pattern, directories);
    } else {
        found = currentDirectory();
    }
    return in.assign(variable, std::string(text::trim(found)));
}

// ---- Sizes ---------------------------------------------------------------------------------

std::string formatHumanSize(uint64_t size, char decimalSeparator) {
    static constexpr std::string_view kUnits[] = {" B", "KB", " MB", "GB", " TB"};
    double x = static_cast<double>(size);
    size_t k = 0;
    while (x >= 1024) {
        x /= 1024;
        ++k;
    }
    char digits[64];
    std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, x, std::chars_format::fixed, 2);
    std::string out(digits, r.ptr);
    for (char& c : out)
        if (c == '.') c = decimalSeparator;
    if (k < std::size(kUnits)) out += kUnits[k];
    return out;
}

bool cmdTamArq(Interpreter& in, std::string_view args, int humanReadable) {
    std::string name;
    int variable;
    if (!readValue(in, args, name) || !readVariable(in, args, variable)) return false;
    SysError error = 0;
    FileHandle file = FileHandle::open(name, FileHandle::Mode::Read, error);
    if (!file.isOpen()) return false;
    std::optional<uint64_t> size = file.size(error);
    if (!size) return false;
    return in.assign(variable,
                     humanReadable ? formatHumanSize(*size, decimalSeparator()) : std::to_string(*size));
}

// ---- The byte buffer and the binary output file ---------------------------------------------

bool cmdCriaBin(Interpreter& in, std::string_view args, int) {
    std::string name;
    if (!readValue(in, args, name) || name.empty() || pathExists(name)) return false;
    if (in.state->binaryFile.isOpen()) return false;
    SysError error = 0;
    // Created only when nothing of that name exists, even if one appeared since the look.
    FileHandle file = FileHandle::open(name, FileHandle::Mode::CreateNew, error);
    if (!file.isOpen()) return false;
    in.state->binaryFile.file = std::move(file);
    return true;
}

bool cmdEscreveByte(Interpreter& in, std::string_view args, int) {
    std::string value;
    if (!readValue(in, args, value)) return false;
    return in.state->byteBuffer.append(value);
}

bool cmdLeByte(Interpreter& in, std::string_view args, int) {
    std::string name, firstText, lastText;
    if (!readValue(in, args, name) || !readValue(in, args, firstText) || !readValue(in, args, lastText))
        return false;
    if (in.state->byteBuffer.full()) return false;
    std::optional<int32_t> first = toInteger(firstText);
    std::optional<int32_t> last = toInteger(lastText);
    if (!first || !last) return false;
    SysError error = 0;
    FileHandle file = FileHandle::open(name, FileHandle::Mode::Read, error);
    if (!file.isOpen()) return false;
    std::optional<uint64_t> size = file.size(error);
    if (!size || *size > ByteBuffer::kCapacity) return false;
    if (*first > *last) return false;
    // From `first` up to `last`, not including it; a range of one position reads that byte.
    int64_t count = *first == *last ? 1 : int64_t{*last} - *first;
    if (*first < 0 || static_cast<uint64_t>(*first) >= *size) return false;
    if (file.seek(static_cast<uint64_t>(*first)) != 0) return false;
    // Room is asked only for the bytes the file holds from there.
    uint64_t available = *size - static_cast<uint64_t>(*first);
    if (static_cast<uint64_t>(count) > available) count = static_cast<int64_t>(available);
    return in.state->byteBuffer.appendFrom(file, static_cast<size_t>(count));
}

bool cmdGravaBytes(Interpreter& in, std::string_view, int) {
    if (!in.state->binaryFile.isOpen()) return false;
    // Bytes that did not reach the file stay in the buffer.
    if (in.state->binaryFile.file.write(in.state->byteBuffer.contents()).error != 0) return false;
    in.state->byteBuffer.markWritten();
    return true;
}

bool cmdLimpaBytes(Interpreter& in, std::string_view, int) {
    in.state->byteBuffer.clear();
    return true;
}

bool cmdFechaBin(Interpreter& in, std::string_view, int) {
    if (!in.state->binaryFile.isOpen()) return false;
    return in.state->binaryFile.file.close() == 0;
}

}  // namespace parlendo
