#include "platform/system/message.h"

#include "platform/core/lasterror.h"
#include "platform/core/text.h"

namespace win {

namespace {

struct Message {
    DWORD id;
    const char* text;
};

// Windows' English texts, without their closing "\r\n".
constexpr Message kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {13, "The data is invalid."},
    {14, "Not enough memory resources are available to complete this operation."},
    {15, "The system cannot find the drive specified."},
    {16, "The directory cannot be removed."},
    {17, "The system cannot move the file to a different disk drive."},
    {18, "There are no more files."},
    {19, "The media is write protected."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {38, "Reached the end of the file."},
    {50, "The request is not supported."},
    {53, "The network path was not found."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {120, "This function is not supported on this system."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {145, "The directory is not empty."},
    {161, "The specified path is invalid."},
    {183, "Cannot create a file when that file already exists."},
    {193, "%1 is not a valid Win32 application."},
    {203, "The system could not find the environment option that was entered."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {267, "The directory name is invalid."},
    {317, "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {740, "The requested operation requires elevation."},
    {1010, "The configuration registry key is invalid."},
    {1011, "The configuration registry key could not be opened."},
    {1012, "The configuration registry key could not be read."},
    {1013, "The configuration registry key could not be written."},
    {1015, "The registry is corrupted. The structure of one of the files containing registry data is corrupted, "
           "or the system's memory image of the file is corrupted, or the file could not be recovered because the "
           "alternate copy or log was absent or corrupted."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1021, "Cannot create a stable subkey under a volatile parent key."},
    {1155, "No application is associated with the specified file for this operation."},
    {1168, "Element not found."},
    {1223, "The operation was canceled by the user."},
    {1332, "No mapping between account names and security IDs was done."},
    {1337, "The security ID structure is invalid."},
    {1812, "The specified image file did not contain a resource section."},
    {1813, "The specified resource type cannot be found in the image file."},
    {1814, "The specified resource name cannot be found in the image file."},
    {1815, "The specified resource language ID cannot be found in the image file."},
    {1921, "The name of the file cannot be resolved by the system."},

    // COM results of other facilities.
    {0x80004001, "Not implemented"},
    {0x80004002, "No such interface supported"},
    {0x80004003, "Invalid pointer"},
    {0x80004004, "Operation aborted"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80020001, "Unknown interface."},
    {0x80020003, "Member not found."},
    {0x80020004, "Parameter not found."},
    {0x80020005, "Type mismatch."},
    {0x80020006, "Unknown name."},
    {0x80020007, "No named arguments."},
    {0x80020008, "Bad variable type."},
    {0x80020009, "Exception occurred."},
    {0x8002000A, "Out of present range."},
    {0x8002000B, "Invalid index."},
    {0x8002000D, "Memory is locked."},
    {0x8002000E, "Invalid number of parameters."},
    {0x8002000F, "Parameter not optional."},
    {0x8002801D, "Library not registered."},
    {0x8002802B, "Element not found."},
    {0x80040110, "Class does not support aggregation (or class object is remote)"},
    {0x80040111, "ClassFactory cannot supply requested class"},
    {0x80040150, "Could not read key from registry"},
    {0x80040151, "Could not write key to registry"},
    {0x80040154, "Class not registered"},
    {0x800401F0, "CoInitialize has not been called."},
    {0x800401F3, "Invalid class string"},
    {0x800401F8, "DLL for class not found"},
    {0x800401F9, "Error in the DLL"},
};

const char* findText(DWORD id) {
    for (const auto& m : kMessages)
        if (m.id == id) return m.text;
    return nullptr;
}

bool hasInserts(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') return true;
    return false;
}

// Language 0, a neutral or default one, or any English one.
bool englishAccepted(DWORD languageId) {
    const DWORD primary = languageId & 0x3FF;
    return primary == 0x00 || primary == 0x09;
}

DWORD fail(DWORD error) {
    SetLastError(error);
    return 0;
}

} // namespace

DWORD FormatMessage(DWORD flags, DWORD messageId, DWORD languageId, std::string* text) {
    constexpr DWORD kUnsupported = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE |
                                   FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (!text || !(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & kUnsupported))
        return fail(ERROR_INVALID_PARAMETER);
    const char* found = findText(messageId);
    if (!found && (messageId & 0xFFFF0000u) == 0x80070000u) found = findText(messageId & 0xFFFF);
    if (!found) return fail(ERROR_MR_MID_NOT_FOUND);
    if (!englishAccepted(languageId)) return fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS) && hasInserts(found)) return fail(ERROR_INVALID_PARAMETER);
    *text = std::string(found) + "\r\n";
    return static_cast<DWORD>(winsys::utf16Length(*text));
}

} // namespace win
