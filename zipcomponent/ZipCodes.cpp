#include "zipcomponent/ZipCodes.h"

namespace zipcomponent {

namespace {

const char* ResultText(int code) {
    switch (code) {
        case kResultSuccess: return "The operation completed successfully.";
        case kResultUnchanged: return "The operation completed; the zip file needed no change.";
        case kResultInternal: return "An internal error occurred in the zip component.";
        case kResultCannotOpen: return "The zip file cannot be opened or created.";
        case kResultDamaged: return "The zip file is damaged or is not a zip file.";
        case kResultCannotRead: return "The zip file cannot be read.";
        case kResultCannotWrite: return "The zip file cannot be written; the disk may be full or write protected.";
        case kResultNothingToDo: return "There are no files to process.";
        case kResultSplitNotUpdatable: return "A split zip file cannot be updated; it must be deleted and written again.";
        case kResultWrongPassword: return "The password is missing or wrong.";
        case kResultCorrupt: return "An entry of the zip file failed its integrity check; the data is corrupt.";
        case kResultUnsupported: return "The zip file uses a compression or encryption method that is not supported.";
        case kResultMustRecreate: return "The existing zip file cannot be updated; it must be deleted and written again.";
        case kResultMissingPart: return "A part of the split zip file is missing.";
        case kResultDiskAborted: return "The operation was aborted while a disk was requested.";
        case kResultAborted: return "The operation was aborted by the user.";
        case kResultTargetExists: return "The target zip file already exists.";
        case kResultWarnings: return "The operation completed with warnings for some files.";
        case kResultFileErrors: return "The operation completed, but some files could not be processed.";
        case kResultDiskNotEmpty: return "The operation was aborted because the disk is not empty.";
        default: return nullptr;
    }
}

const char* WarningText(int code) {
    switch (code) {
        case kWarnTimesNotRestored: return "The file's times could not be set.";
        case kWarnPermissionsNotRestored: return "The file's permissions could not be set.";
        case kWarnFileChanged: return "The file changed while it was being read.";
        default: return nullptr;
    }
}

const char* SkipText(int code) {
    switch (code) {
        case kSkipNotNewer: return "The file is not newer than its stored copy.";
        case kSkipExcluded: return "The file matches an exclusion specification.";
        case kSkipTargetExists: return "The target file already exists.";
        case kSkipTargetMissing: return "The target file does not exist.";
        case kSkipUnchanged: return "The file is unchanged.";
        case kSkipTargetNewer: return "The entry is not newer than the target file.";
        case kSkipNotSelected: return "The entry does not match the file specifications.";
        case kSkipSpecialFile: return "The path is not a regular file or folder.";
        case kSkipArchiveItself: return "The file is the zip file being written.";
        case kSkipByHandler: return "The file was skipped on request.";
        case kSkipUnreadableEntry: return "The entry uses a method that cannot be read.";
        case kFailCannotOpen: return "The file cannot be opened for reading.";
        case kFailCannotRead: return "The file could not be read completely.";
        case kFailUnsafeName: return "The entry's name would place it outside the extraction folder.";
        case kFailCorrupt: return "The entry failed its integrity check (CRC or authentication).";
        case kFailPassword: return "The password is missing or wrong.";
        case kFailCannotWrite: return "The target file cannot be written.";
        case kFailUnsupported: return "The entry uses an unsupported compression or encryption method.";
        case kFailCannotList: return "The folder cannot be listed.";
        case kFailNameTooLong: return "The path is too long to be stored in a zip file.";
        default: return nullptr;
    }
}

}  // namespace

std::string DescribeCode(int kind, int code) {
    const char* text = kind == kKindResult ? ResultText(code) : kind == kKindWarning ? WarningText(code) : SkipText(code);
    if (text) return text;
    return "Unknown " + std::string(kind == kKindResult ? "result" : kind == kKindWarning ? "warning" : "skip reason") +
           " code " + std::to_string(code) + ".";
}

}  // namespace zipcomponent
