// JSON form of a loaded description image: header values, features with their
// options, order dependencies and constraints.
#pragma once

#include <string>

#include "description_image.h"

namespace qvx {

std::string DescriptionImageToJson(const DescriptionImage* image);

}  // namespace qvx
