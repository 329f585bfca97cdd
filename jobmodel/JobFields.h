#pragma once

#include "jobmodel/AppDoc.h"

#include <string>
#include <string_view>
#include <vector>

namespace jobmodel {

// The settings of the five blocks by member name, in file order, for the job
// tool and anything else that addresses fields by name.
struct JobField {
    const char* name;
    int* (*intField)(CAppDoc&);           // set for int fields
    std::string* (*stringField)(CAppDoc&);  // set for string fields
    void (*afterSet)(CAppDoc&);           // keeps derived fields in step, may be null
};

const std::vector<JobField>& JobFields();
const JobField* FindJobField(std::string_view name);

}  // namespace jobmodel
