#include "link/page_command.h"

#include <array>

namespace pelmora::link::page {
namespace {

constexpr std::array kPhaseCodes{'P', 'N'};
constexpr std::array kFunctionCodes{'1', '2', '3', '4'};
constexpr std::array kRateCodes{'H', 'L'};
constexpr std::array kPagerTypeCodes{'N', 'T'};

std::optional<char> codeAt(std::span<const char> codes, int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= codes.size())
        return std::nullopt;
    return codes[static_cast<std::size_t>(position)];
}

void appendCode(std::string& out, std::optional<char> code)
{
    if (code)
        out.push_back(*code);
}

}  // namespace

std::span<const char> phaseCodes()
{
    return kPhaseCodes;
}
std::span<const char> functionCodes()
{
    return kFunctionCodes;
}
std::span<const char> rateCodes()
{
    return kRateCodes;
}
std::span<const char> pagerTypeCodes()
{
    return kPagerTypeCodes;
}

std::optional<char> phaseCode(int position)
{
    return codeAt(kPhaseCodes, position);
}
std::optional<char> functionCode(int position)
{
    return codeAt(kFunctionCodes, position);
}
std::optional<char> rateCode(int position)
{
    return codeAt(kRateCodes, position);
}
std::optional<char> pagerTypeCode(int position)
{
    return codeAt(kPagerTypeCodes, position);
}

std::string buildCommand(const Selections& selections, std::string_view addressGbk, std::string_view messageGbk)
{
    std::string command;
    command.reserve(6 + addressGbk.size() + messageGbk.size());
    command.push_back(kStartMark);
    appendCode(command, phaseCode(selections.phase));
    command.append(addressGbk);
    appendCode(command, functionCode(selections.function));
    appendCode(command, rateCode(selections.rate));
    appendCode(command, pagerTypeCode(selections.pagerType));
    command.append(messageGbk);
    command.push_back(kEndMark);
    return command;
}

}  // namespace pelmora::link::page
