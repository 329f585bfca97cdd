#pragma once

#include "platform/RegistryHive.h"

#include <string>
#include <string_view>
#include <vector>

// The registry stand-in: one REGEDIT4 text file per hive. Every call reads the
// file anew; writes are serialised between processes with a lock file and
// replace the file atomically. Results are 0 or an errno value.
namespace platform::registry {

enum class Hive { LocalMachine, CurrentUser, Users };
enum class Access { Read, Full };

const char* RootName(Hive hive);
std::string HiveFilePath(Hive hive);

// Opens an existing key. Full access needs a writable hive file.
int OpenKey(Hive hive, std::string_view path, Access access);
// Opens a key, creating it (and its parents) when missing.
int CreateKey(Hive hive, std::string_view path, Access access);

int QueryValue(Hive hive, std::string_view path, std::string_view name, RegValue& value);
// Creates the key when it is missing.
int SetValue(Hive hive, std::string_view path, std::string_view name, const RegValue& value);

int EnumValueNames(Hive hive, std::string_view path, std::vector<std::string>& names);
int EnumSubKeys(Hive hive, std::string_view path, std::vector<std::string>& names);

// Copies a key with all its values and sub-keys to dstParent\dstName. When
// the source is the destination parent, sub-keys whose names begin with
// dstName are left out so the copy does not copy itself.
int CopyKeyTree(Hive srcHive, std::string_view srcPath, Hive dstHive, std::string_view dstParent,
                std::string_view dstName);

}  // namespace platform::registry
