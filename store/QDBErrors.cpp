#include "store/QDBErrors.h"

#include <cerrno>

namespace glimmora::store {

std::string formatMessage(const char* text, const std::string& argument)
{
    std::string message(text);
    const auto at = message.find("%s");
    if (at != std::string::npos)
        message.replace(at, 2, argument);
    return message;
}

int failureCodeForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return failure::kNotFound;
    case EBUSY:
    case ENOMEDIUM: return failure::kDriveNotReady;
    case EMFILE:
    case ENFILE: return failure::kNoHandles;
    case EWOULDBLOCK:
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return failure::kInUse;
    case ENOSPC:
    case EDQUOT: return failure::kDiskFull;
    default: return failure::kUnidentifiedBase - error;
    }
}

std::string fileFailureMessage(int code, const std::string& fileName, const std::string& ownMessage)
{
    switch (code) {
    case failure::kOwnMessage: return ownMessage;
    case failure::kNotFound: return formatMessage(messages::kFileNotFound, fileName);
    case failure::kDriveNotReady: return messages::kDriveNotReady;
    case failure::kNoHandles: return messages::kNoFileHandles;
    case failure::kInUse: return formatMessage(messages::kFileInUse, fileName);
    case failure::kDiskFull: return messages::kDriveFull;
    default: return formatMessage(messages::kUnidentified, std::to_string(code));
    }
}

void raiseFileError(int code, const std::string& fileName, const std::string& ownMessage)
{
    throw EQDBFileError(fileFailureMessage(code, fileName, ownMessage));
}

void raiseFileErrorFromErrno(int error, const std::string& fileName)
{
    raiseFileError(failureCodeForErrno(error), fileName);
}

} // namespace glimmora::store
