#include "PPDX/PPDObjects/PPDXGroup.h"

#include <utility>

PPDXGroup::PPDXGroup(char const* keyword, std::string name, bool const& visible)
    : PPDXElement(keyword, std::move(name), visible) {}

PPDXGroup::~PPDXGroup() = default;
