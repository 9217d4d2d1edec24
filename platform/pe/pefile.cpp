#include "platform/pe/pefile.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/files.h"

namespace winsys {

Result<std::vector<std::uint8_t>> readImageFile(std::string_view windowsPath) {
    auto bytes = readFile(windowsPath, kMaxImageFile + 1);
    if (bytes && bytes->size() > kMaxImageFile)
        return Error{win::ERROR_NOT_ENOUGH_MEMORY, "'" + std::string(windowsPath) + "': too large to read"};
    return bytes;
}

Result<PeHeaders> readPeHeaders(std::string_view windowsPath) {
    auto file = mapFile(windowsPath);
    if (!file) return file.error();
    return parsePeHeaders(file->bytes());
}

Result<std::vector<std::uint8_t>> readVersionResource(std::string_view windowsPath) {
    auto file = mapFile(windowsPath);
    if (!file) return file.error();
    auto image = PeImage::parse(file->bytes());
    if (!image) return image.error();
    auto data = image->findResource(ResourceId::number(win::RT_VERSION), ResourceId::number(win::VS_VERSION_INFO));
    if (!data) return data.error();
    // An empty block would read as a size of 0, which callers take for "none".
    if (data->empty())
        return Error{win::ERROR_RESOURCE_DATA_NOT_FOUND, "'" + std::string(windowsPath) + "': empty version resource"};
    // The block's root node says how long it is (at most 64 KiB); a resource
    // entry that claims more holds nothing more of it.
    const std::size_t length = data->size() >= 2 ? std::size_t{(*data)[0]} | std::size_t{(*data)[1]} << 8 : 0;
    const std::size_t kept = length >= 6 ? std::min(length, data->size()) : data->size();
    return std::vector<std::uint8_t>(data->begin(), data->begin() + static_cast<std::ptrdiff_t>(kept));
}

Result<VersionInfo> readVersionInfo(std::string_view windowsPath) {
    auto block = readVersionResource(windowsPath);
    if (!block) return block.error();
    return parseVersionInfo(*block);
}

Result<std::string> loadStringFromFile(std::string_view windowsPath, win::UINT id) {
    auto file = mapFile(windowsPath);
    if (!file) return file.error();
    auto image = PeImage::parse(file->bytes());
    if (!image) return image.error();
    return image->loadString(id);
}

} // namespace winsys

namespace win {

namespace {

// The block the size was just read from, for the call that comes next and
// asks for the same file's block: callers ask for the size and then the
// data, and one reading of the file serves both.
struct LastBlock {
    std::string fileName;
    std::vector<BYTE> block;
};
thread_local LastBlock t_last;

} // namespace

DWORD GetFileVersionInfoSize(std::string_view fileName, DWORD* handle) {
    if (handle) *handle = 0;
    t_last = {};
    auto block = winsys::readVersionResource(fileName);
    if (!block) {
        SetLastError(block.error().code);
        return 0;
    }
    const auto size = static_cast<DWORD>(block->size());
    t_last = {std::string(fileName), std::move(*block)};
    return size;
}

BOOL GetFileVersionInfo(std::string_view fileName, DWORD /*handle*/, DWORD len, std::vector<BYTE>* data) {
    if (len == 0 || !data) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    LastBlock last = std::exchange(t_last, {});
    auto block = last.fileName == fileName && !last.block.empty() ? winsys::Result<std::vector<BYTE>>(std::move(last.block))
                                                                   : winsys::readVersionResource(fileName);
    if (!block) {
        SetLastError(block.error().code);
        return 0;
    }
    if (block->size() > len) block->resize(len);
    *data = std::move(*block);
    return 1;
}

int LoadString(std::string_view moduleFile, UINT id, std::string* buffer, int bufferMax) {
    if (bufferMax < 1 || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto text = winsys::loadStringFromFile(moduleFile, id);
    if (!text) {
        SetLastError(text.error().code);
        return 0;
    }
    std::u16string units = winsys::toUtf16(*text);
    if (units.size() > static_cast<std::size_t>(bufferMax - 1)) {
        std::size_t keep = static_cast<std::size_t>(bufferMax - 1);
        if (keep > 0 && units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) --keep;
        units.resize(keep);
    }
    *buffer = winsys::toUtf8(units);
    return static_cast<int>(units.size());
}

} // namespace win
