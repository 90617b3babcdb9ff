// Loading the program's own resources, always in language 2052 (Chinese, PRC).
#pragma once

#include <cstddef>
#include <string>

#include "platform/result.h"

namespace resources {

// The caption of the window and the title of every box the program shows.
inline constexpr char16_t kApplicationTitle[] = u"Tolvar Update";

// Loading a string or the payload the program carries, as failures name it.
inline constexpr platform::Step kStepLoadResource{platform::kResourceSteps + 0};

struct Bytes {
    const unsigned char* data;
    std::size_t size;
};

// String `id`; fails at kStepLoadResource (ERROR_RESOURCE_NAME_NOT_FOUND, or
// the loader's own error) when the program carries no such string.
platform::Result<std::u16string> LoadStringResource(unsigned id);

// The bytes of resource `id` of the named type, exactly as carried; they stay
// valid for the life of the program. Fails as LoadStringResource does when
// the resource is absent.
platform::Result<Bytes> LoadDataResource(unsigned id, const std::u16string& typeName);

}  // namespace resources
