#include "zipcomponent/EntryFields.h"

#include <sys/stat.h>

namespace zipcomponent {

namespace {

bool SetField(zip_t* za, zip_uint64_t index, zip_uint16_t id, const zip_uint8_t* data, zip_uint16_t length,
              zip_flags_t where) {
    const zip_int16_t existing = zip_file_extra_fields_count_by_id(za, index, id, where);
    const zip_uint16_t slot = existing > 0 ? 0 : ZIP_EXTRA_FIELD_NEW;
    return zip_file_extra_field_set(za, index, id, slot, data, length, where) == 0;
}

}  // namespace

bool SetEntryTime(zip_t* za, zip_uint64_t index, time_t mtime) {
    const uint32_t t = static_cast<uint32_t>(mtime);
    const zip_uint8_t field[5] = {1, static_cast<zip_uint8_t>(t), static_cast<zip_uint8_t>(t >> 8),
                                  static_cast<zip_uint8_t>(t >> 16), static_cast<zip_uint8_t>(t >> 24)};
    bool ok = zip_file_set_mtime(za, index, mtime, 0) == 0;
    ok = SetField(za, index, kExtendedTimestampId, field, sizeof field, ZIP_FL_LOCAL) && ok;
    ok = SetField(za, index, kExtendedTimestampId, field, sizeof field, ZIP_FL_CENTRAL) && ok;
    return ok;
}

time_t GetEntryTime(zip_t* za, zip_uint64_t index) {
    zip_uint16_t length = 0;
    const zip_uint8_t* field =
        zip_file_extra_field_get_by_id(za, index, kExtendedTimestampId, 0, &length, ZIP_FL_CENTRAL);
    if (!field) field = zip_file_extra_field_get_by_id(za, index, kExtendedTimestampId, 0, &length, ZIP_FL_LOCAL);
    if (field && length >= 5 && (field[0] & 1)) {
        const uint32_t t = field[1] | (field[2] << 8) | (field[3] << 16) | (static_cast<uint32_t>(field[4]) << 24);
        return static_cast<time_t>(static_cast<int32_t>(t));
    }
    zip_stat_t st;
    if (zip_stat_index(za, index, 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME)) return st.mtime;
    return 0;
}

bool SetBasePath(zip_t* za, zip_uint64_t index, const std::string& basePath) {
    return SetField(za, index, kBasePathId, reinterpret_cast<const zip_uint8_t*>(basePath.data()),
                    static_cast<zip_uint16_t>(basePath.size()), ZIP_FL_CENTRAL);
}

std::string GetBasePath(zip_t* za, zip_uint64_t index) {
    zip_uint16_t length = 0;
    const zip_uint8_t* field = zip_file_extra_field_get_by_id(za, index, kBasePathId, 0, &length, ZIP_FL_CENTRAL);
    return field ? std::string(reinterpret_cast<const char*>(field), length) : std::string();
}

bool SetUnixAttributes(zip_t* za, zip_uint64_t index, uint32_t mode, bool isFolder) {
    const uint32_t type = isFolder ? S_IFDIR : S_IFREG;
    const uint32_t external = ((type | (mode & 07777)) << 16) | (isFolder ? 0x10 : 0);
    return zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX, external) == 0;
}

uint32_t GetUnixMode(zip_t* za, zip_uint64_t index) {
    zip_uint8_t opsys = 0;
    zip_uint32_t external = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &external) != 0 || opsys != ZIP_OPSYS_UNIX) return 0;
    return external >> 16;
}

}  // namespace zipcomponent
