#include "frame_report.h"

#include "byte_text.h"

#include "link/gbk_text.h"

#include <optional>

namespace pelmora::tools::sim {
namespace {

using link::FrameEvent;
using link::FrameEventKind;

std::string_view phaseName(char code)
{
    return code == 'P' ? "normal" : "inverted";
}
std::string_view rateName(char code)
{
    return code == 'H' ? "1200" : "512";
}
std::string_view typeName(char code)
{
    return code == 'N' ? "numeric" : "chinese";
}

std::string quoted(std::string_view gbk)
{
    return "\"" + escapeGbk(gbk, true) + "\"";
}

std::string codeText(const char* label, std::optional<char> code, std::string_view (*name)(char))
{
    std::string text = label;
    if (!code)
        return text + " unknown";
    text += ' ';
    text += *code;
    if (name != nullptr)
        text += " (" + std::string(name(*code)) + ")";
    return text;
}

std::string jsonString(std::string_view gbk)
{
    return "\"" + jsonEscape(link::gbkToUtf8(gbk)) + "\"";
}

std::string jsonCode(std::optional<char> code)
{
    if (!code)
        return "null";
    return "\"" + jsonEscape(std::string(1, *code)) + "\"";
}

}  // namespace

std::string eventLine(const FrameEvent& event, std::size_t maxFrameBytes)
{
    const std::string hex = " [" + toHex(event.kind == FrameEventKind::Frame ? event.frame.raw : event.bytes) + "]";
    switch (event.kind) {
    case FrameEventKind::Frame: {
        const link::PageFrame& frame = event.frame;
        std::string line = frame.fullyDecoded() ? "frame: " : "frame with unknown codes: ";
        line += codeText("phase", frame.phase, phaseName);
        if (frame.undecoded) {
            line += ", no function/rate/type codes in " + quoted(*frame.undecoded);
        } else {
            line += ", address " + quoted(frame.address);
            line += ", " + codeText("function", frame.function, nullptr);
            line += ", " + codeText("rate", frame.rate, rateName);
            line += ", " + codeText("type", frame.pagerType, typeName);
            line += ", message " + quoted(frame.message);
        }
        return line + hex;
    }
    case FrameEventKind::Noise:
        return "noise outside a frame: " + quoted(event.bytes) + hex;
    case FrameEventKind::CutOff:
        return std::string(event.cutOffReason == link::CutOffReason::NewStartMark
                               ? "frame cut off by a new \"#\": "
                               : "frame cut off at the end of the stream: ")
               + quoted(event.bytes) + hex;
    case FrameEventKind::Overlong:
        return "frame longer than " + std::to_string(maxFrameBytes) + " bytes skipped, starting " + quoted(event.bytes)
               + hex;
    }
    return {};
}

std::string eventJson(const FrameEvent& event, std::size_t maxFrameBytes)
{
    const std::string raw =
        "\"raw\":\"" + toHex(event.kind == FrameEventKind::Frame ? event.frame.raw : event.bytes) + "\"";
    switch (event.kind) {
    case FrameEventKind::Frame: {
        const link::PageFrame& frame = event.frame;
        std::string json = "{\"event\":\"frame\",\"complete\":";
        json += frame.fullyDecoded() ? "true" : "false";
        json += ",\"phase\":" + jsonCode(frame.phase);
        json += ",\"address\":" + jsonString(frame.address);
        json += ",\"function\":" + jsonCode(frame.function);
        json += ",\"rate\":" + jsonCode(frame.rate);
        json += ",\"type\":" + jsonCode(frame.pagerType);
        json += ",\"message\":" + jsonString(frame.message);
        json += ",\"undecoded\":" + (frame.undecoded ? jsonString(*frame.undecoded) : std::string("null"));
        return json + "," + raw + "}";
    }
    case FrameEventKind::Noise:
        return "{\"event\":\"noise\",\"text\":" + jsonString(event.bytes) + "," + raw + "}";
    case FrameEventKind::CutOff:
        return std::string("{\"event\":\"cut-off\",\"reason\":")
               + (event.cutOffReason == link::CutOffReason::NewStartMark ? "\"start mark\"" : "\"end of stream\"")
               + ",\"text\":" + jsonString(event.bytes) + "," + raw + "}";
    case FrameEventKind::Overlong:
        return "{\"event\":\"overlong\",\"limit\":" + std::to_string(maxFrameBytes)
               + ",\"text\":" + jsonString(event.bytes) + "," + raw + "}";
    }
    return {};
}

}  // namespace pelmora::tools::sim
