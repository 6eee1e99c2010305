#include "kernel/system_error_text.h"

#include <algorithm>
#include <iterator>

namespace ce {
namespace {

struct ErrorText {
  DWORD code;
  const char16_t *text;
};

// Sorted by code.
constexpr ErrorText texts[] = {
    {0, u"The operation completed successfully."},
    {1, u"Incorrect function."},
    {2, u"The system cannot find the file specified."},
    {3, u"The system cannot find the path specified."},
    {4, u"The system cannot open the file."},
    {5, u"Access is denied."},
    {6, u"The handle is invalid."},
    {8, u"Not enough storage is available to process this command."},
    {11, u"An attempt was made to load a program with an incorrect format."},
    {12, u"The access code is invalid."},
    {13, u"The data is invalid."},
    {14, u"Not enough storage is available to complete this operation."},
    {15, u"The system cannot find the drive specified."},
    {18, u"There are no more files."},
    {21, u"The device is not ready."},
    {24, u"The program issued a command but the command length is incorrect."},
    {25, u"The drive cannot locate a specific area or track on the disk."},
    {29, u"The system cannot write to the specified device."},
    {30, u"The system cannot read from the specified device."},
    {31, u"A device attached to the system is not functioning."},
    {32, u"The process cannot access the file because it is being used by another process."},
    {33, u"The process cannot access the file because another process has locked a portion of "
         u"the file."},
    {38, u"Reached the end of the file."},
    {50, u"The request is not supported."},
    {80, u"The file exists."},
    {82, u"The directory or file cannot be created."},
    {87, u"The parameter is incorrect."},
    {109, u"The pipe has been ended."},
    {110, u"The system cannot open the device or file specified."},
    {112, u"There is not enough space on the disk."},
    {120, u"This function is not supported on this system."},
    {122, u"The data area passed to a system call is too small."},
    {123, u"The filename, directory name, or volume label syntax is incorrect."},
    {126, u"The specified module could not be found."},
    {127, u"The specified procedure could not be found."},
    {131, u"An attempt was made to move the file pointer before the beginning of the file."},
    {145, u"The directory is not empty."},
    {160, u"One or more arguments are not correct."},
    {161, u"The specified path is invalid."},
    {170, u"The requested resource is in use."},
    {183, u"Cannot create a file when that file already exists."},
    {206, u"The filename or extension is too long."},
    {231, u"All pipe instances are busy."},
    {232, u"The pipe is being closed."},
    {233, u"No process is on the other end of the pipe."},
    {234, u"More data is available."},
    {259, u"No more data is available."},
    {267, u"The directory name is invalid."},
    {288, u"Attempt to release mutex not owned by caller."},
    {317, u"The system cannot find message text for message number 0x%1 in the message file for "
          u"%2."},
    {487, u"Attempt to access invalid address."},
    {534, u"Arithmetic result exceeded 32 bits."},
    {998, u"Invalid access to memory location."},
    {1004, u"Invalid flags."},
    {1009, u"The configuration registry database is corrupt."},
    {1010, u"The configuration registry key is invalid."},
    {1011, u"The configuration registry key could not be opened."},
    {1012, u"The configuration registry key could not be read."},
    {1013, u"The configuration registry key could not be written."},
    {1015, u"The registry is corrupted. The structure of one of the files containing registry "
           u"data is corrupted, or the system's memory image of the file is corrupted, or the "
           u"file could not be recovered because the alternate copy or log was absent or "
           u"corrupted."},
    {1016, u"An I/O operation initiated by the registry failed unrecoverably. The registry could "
           u"not read in, or write out, or flush, one of the files that contain the system's "
           u"image of the registry."},
    {1018, u"Illegal operation attempted on a registry key that has been marked for deletion."},
    {1053, u"The service did not respond to the start or control request in a timely fashion."},
    {1056, u"An instance of the service is already running."},
    {1060, u"The specified service does not exist as an installed service."},
    {1062, u"The service has not been started."},
    {1067, u"The process terminated unexpectedly."},
    {1072, u"The specified service has been marked for deletion."},
    {1073, u"The specified service already exists."},
    {1113, u"No mapping for the Unicode character exists in the target multi-byte code page."},
    {1114, u"A dynamic link library (DLL) initialization routine failed."},
    {1131, u"A potential deadlock condition has been detected."},
    {1168, u"Element not found."},
    {1223, u"The operation was canceled by the user."},
    {1400, u"Invalid window handle."},
    {1401, u"Invalid menu handle."},
    {1402, u"Invalid cursor handle."},
    {1407, u"Cannot find window class."},
    {1408, u"Invalid window; it belongs to other thread."},
    {1410, u"Class already exists."},
    {1411, u"Class does not exist."},
    {1412, u"Class still has open windows."},
    {1413, u"Invalid index."},
    {1414, u"Invalid icon handle."},
    {1444, u"An invalid thread identifier was specified."},
    {1450, u"Insufficient system resources exist to complete the requested service."},
    {1460, u"This operation returned because the timeout period expired."},
    {1812, u"The specified image file did not contain a resource section."},
    {1813, u"The specified resource type cannot be found in the image file."},
    {1814, u"The specified resource name cannot be found in the image file."},
    {1816, u"Not enough quota is available to process this command."},
    {2404, u"The device is in use by an active process and cannot be disconnected."},
};

// HRESULTs that are not wrapped error codes.
constexpr ErrorText resultTexts[] = {
    {0x80004001u, u"Not implemented"},   {0x80004002u, u"No such interface supported"},
    {0x80004003u, u"Invalid pointer"},   {0x80004004u, u"Operation aborted"},
    {0x80004005u, u"Unspecified error"}, {0x8000FFFFu, u"Catastrophic failure"},
};

const char16_t *lookUp(const ErrorText *begin, const ErrorText *end, DWORD code) {
  const auto it =
      std::lower_bound(begin, end, code, [](const ErrorText &e, DWORD c) { return e.code < c; });
  return it != end && it->code == code ? it->text : nullptr;
}

} // namespace

const char16_t *systemErrorText(DWORD code) {
  if ((code & 0xFFFF0000u) == 0x80070000u)
    code &= 0xFFFFu; // an error code wrapped as HRESULT
  if (code & 0x80000000u)
    return lookUp(std::begin(resultTexts), std::end(resultTexts), code);
  return lookUp(std::begin(texts), std::end(texts), code);
}

} // namespace ce
