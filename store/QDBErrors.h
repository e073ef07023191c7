#pragma once

// The exceptions of the keyed record store. Every failure of the store is one of these classes
// with one of the fixed messages below; callers catch by class (an existing key on adding, a
// missing admin entry) and show the message as it stands.

#include <stdexcept>
#include <string>

namespace glimmora::store {

// Fixed message texts; "%s" stands for the store's file name unless noted otherwise.
namespace messages {
inline constexpr const char* kDuplicateKeys = "Duplicate keys are not allowed";
inline constexpr const char* kOutOfBounds = "The list index is out of bounds";
inline constexpr const char* kNoMemoryToCompress = "Insufficient memory to compress or expand";
inline constexpr const char* kNotValidFile = "The file %s is not a valid QDB file";
inline constexpr const char* kUnableToExtend = "Unable to extend the file %s";
inline constexpr const char* kNoMemoryForIndex = "Not enough memory to extend the index to %s";
inline constexpr const char* kNoTemporaryFile = "Could not create a necessary temporary file";
inline constexpr const char* kEmpty = "File %s is empty";
inline constexpr const char* kReadOnly = "%s is marked as read-only";
inline constexpr const char* kNoFile = "Illegal operation - no file assigned";
inline constexpr const char* kInvalidPassword = "The password you have provided is invalid";
inline constexpr const char* kBadKey = "The key '%s' does not exist"; // %s: the admin key
inline constexpr const char* kFileNotFound = "Could not find the file %s";
inline constexpr const char* kDriveNotReady = "The drive you are trying to access is not ready";
inline constexpr const char* kNoFileHandles = "No more file handles are available";
inline constexpr const char* kFileInUse = "The file %s seems to be in use by another program";
inline constexpr const char* kDriveFull = "The drive is full";
inline constexpr const char* kUnidentified = "Unidentified problem -  %s"; // %s: the code
} // namespace messages

// Replaces the first "%s" of a message text by the argument (texts without "%s" stay as they are).
std::string formatMessage(const char* text, const std::string& argument);

class EQDBError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EQDBListError : public EQDBError {
public:
    using EQDBError::EQDBError;
};

class EQDBFileError : public EQDBError {
public:
    using EQDBError::EQDBError;
};

class EQDBIndexError : public EQDBError {
public:
    using EQDBError::EQDBError;
};

class EQDBOutOfBounds : public EQDBIndexError {
public:
    EQDBOutOfBounds() : EQDBIndexError(messages::kOutOfBounds) {}
};

class EQDBNoData : public EQDBIndexError {
public:
    explicit EQDBNoData(const std::string& fileName) : EQDBIndexError(formatMessage(messages::kEmpty, fileName)) {}
};

class EQDBReadOnly : public EQDBIndexError {
public:
    explicit EQDBReadOnly(const std::string& fileName) : EQDBIndexError(formatMessage(messages::kReadOnly, fileName)) {}
};

class EQDBNoFile : public EQDBIndexError {
public:
    EQDBNoFile() : EQDBIndexError(messages::kNoFile) {}
};

class EQDBInvalidPW : public EQDBError {
public:
    EQDBInvalidPW() : EQDBError(messages::kInvalidPassword) {}
};

class EQDBNoCompress : public EQDBError {
public:
    EQDBNoCompress() : EQDBError(messages::kNoMemoryToCompress) {}
};

class EQDBBadKey : public EQDBError {
public:
    explicit EQDBBadKey(const std::string& key) : EQDBError(formatMessage(messages::kBadKey, key)) {}
};

// Failure codes of the direct file calls (open, create) and how errno maps onto them.
namespace failure {
inline constexpr int kOwnMessage = -1;
inline constexpr int kNotFound = -2;
inline constexpr int kDriveNotReady = -3;
inline constexpr int kNoHandles = -4;
inline constexpr int kInUse = -5;
inline constexpr int kDiskFull = -101;
// Any errno without a row of its own: reported as "Unidentified problem" with -1000 - errno,
// so that the cause can still be told from the code.
inline constexpr int kUnidentifiedBase = -1000;
} // namespace failure

// The failure code for an errno value (a lock held by someone else is reported as EWOULDBLOCK,
// which maps to "in use").
int failureCodeForErrno(int error);

// The message of a failure code, formatted with the file name; code -1 gives ownMessage.
std::string fileFailureMessage(int code, const std::string& fileName, const std::string& ownMessage = {});

// Raises EQDBFileError for a failure code.
[[noreturn]] void raiseFileError(int code, const std::string& fileName, const std::string& ownMessage = {});

// Raises EQDBFileError for the errno of a failed file call.
[[noreturn]] void raiseFileErrorFromErrno(int error, const std::string& fileName);

} // namespace glimmora::store
