#include "plugin/ComponentIds.h"

#include <cstring>

namespace Qel {

namespace {

String<char> identifier(const char* text)
{
    return String<char>(text, &StandardAllocator<char>::instance());
}

const char* textOf(const String<char>& id)
{
    return id.data ? id.data : "";
}

} // namespace

const String<char> kContainerInterfaceId = identifier("com.ombrix.flowvane.interface.container");
const String<char> kComponentInterfaceId = identifier("com.ombrix.flowvane.interface.component");
const String<char> kInputComponentId = identifier("com.ombrix.flowvane.component.input");
const String<char> kInputInterfaceId = identifier("com.ombrix.flowvane.interface.input");
const String<char> kSingleOutputComponentId = identifier("com.ombrix.flowvane.component.output.single");
const String<char> kMultipleOutputComponentId = identifier("com.ombrix.flowvane.component.output.multiple");
const String<char> kOutputComponentId = identifier("com.ombrix.flowvane.component.output");
const String<char> kOutputInterfaceId = identifier("com.ombrix.flowvane.interface.output");

bool sameIdentifier(const String<char>& a, const String<char>& b)
{
    return std::strcmp(textOf(a), textOf(b)) == 0;
}

} // namespace Qel
