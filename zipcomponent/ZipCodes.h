#pragma once

#include <string>

namespace zipcomponent {

// Result codes of the component's methods. 0 and 1 are success.
enum ResultCode : int {
    kResultSuccess = 0,
    kResultUnchanged = 1,            // success; the archive needed no change
    kResultInternal = 501,
    kResultCannotOpen = 503,
    kResultDamaged = 504,
    kResultCannotRead = 505,
    kResultCannotWrite = 507,
    kResultNothingToDo = 509,
    kResultSplitNotUpdatable = 510,
    kResultWrongPassword = 511,
    kResultCorrupt = 513,
    kResultUnsupported = 514,
    kResultMustRecreate = 515,
    kResultMissingPart = 516,
    kResultDiskAborted = 517,
    kResultAborted = 518,
    kResultTargetExists = 519,
    kResultWarnings = 526,
    kResultFileErrors = 527,
    kResultDiskNotEmpty = 528,
};

// Why a file or entry was not processed. 0 to 15 are ordinary skips that
// callers group: 0, 4, 5 not newer; 1, 6 to 12 excluded; 2, 3, 13 to 15
// skipped. Above 15 the file failed.
enum SkipReason : int {
    kSkipNotNewer = 0,
    kSkipExcluded = 1,
    kSkipTargetExists = 2,
    kSkipTargetMissing = 3,
    kSkipUnchanged = 4,
    kSkipTargetNewer = 5,
    kSkipNotSelected = 6,
    kSkipSpecialFile = 7,
    kSkipArchiveItself = 8,
    kSkipByHandler = 13,
    kSkipUnreadableEntry = 14,
    kFailCannotOpen = 16,
    kFailCannotRead = 17,
    kFailUnsafeName = 18,
    kFailCorrupt = 19,
    kFailPassword = 20,
    kFailCannotWrite = 21,
    kFailUnsupported = 22,
    kFailCannotList = 23,
    kFailNameTooLong = 24,
};

// Warnings raised while an operation goes on.
enum WarningCode : int {
    kWarnTimesNotRestored = 302,
    kWarnPermissionsNotRestored = 303,
    kWarnFileChanged = 304,
};

enum CodeKind : int { kKindResult = 0, kKindWarning = 1, kKindSkip = 2 };

std::string DescribeCode(int kind, int code);

}  // namespace zipcomponent
