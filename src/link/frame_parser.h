#pragma once

// Reads a byte stream the way the transmitter does: a page command runs from
// "#" to the first "$" after it. Used by the simulator and the tests to see
// exactly what a transmitter would make of what was sent.
//
// Splitting a frame: after "#" comes the phase code ('P' or 'N') if present;
// the address then runs up to the function digit, rate code and pager-type
// code ([1-4][HL][NT]). Because an address may itself contain such bytes
// (e.g. "1234HN"), the address is the longest run that is followed by those
// three bytes; the message is whatever comes after them. A message that
// itself contains such a triple is therefore misread, as it would be by any
// reader of this format.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::link {

struct PageFrame {
    std::string raw;                // the whole frame, "#" to "$", as received
    std::optional<char> phase;      // 'P' or 'N'; none when the byte after "#" is neither
    std::string address;            // GBK bytes
    std::optional<char> function;   // '1' to '4'
    std::optional<char> rate;       // 'H' or 'L'
    std::optional<char> pagerType;  // 'N' or 'T'
    std::string message;            // GBK bytes
    // Set when no function/rate/type triple was found: the bytes after the
    // phase code, which could not be split into address and message.
    std::optional<std::string> undecoded;

    bool fullyDecoded() const { return phase && function && rate && pagerType; }
};

// Splits one frame; `raw` runs from "#" to "$" inclusive. Marks that are
// missing at either end are tolerated (the body is taken as it is).
PageFrame decodeFrame(std::string_view raw);

enum class FrameEventKind {
    Frame,     // a complete frame, decoded
    Noise,     // bytes outside any frame
    CutOff,    // an open frame ended by a new "#" or by the end of the stream
    Overlong,  // a frame longer than the parser's limit; skipped up to its end
};

enum class CutOffReason { NewStartMark, EndOfStream };

struct FrameEvent {
    FrameEventKind kind = FrameEventKind::Noise;
    PageFrame frame;    // Frame only
    std::string bytes;  // Noise: the bytes; CutOff: the frame so far; Overlong: its first bytes
    CutOffReason cutOffReason = CutOffReason::EndOfStream;  // CutOff only
};

// Incremental: bytes may arrive in any chunks; events come out in stream
// order. Not thread-safe; never blocks.
class FrameParser {
public:
    // A frame that grows past this without its "$" is reported as Overlong and
    // its bytes are dropped up to the next "$" or "#", so a stream without
    // end marks cannot exhaust memory. Well above the largest real message.
    static constexpr std::size_t kDefaultMaxFrameBytes = std::size_t{16} << 20;
    // How much of an overlong frame the event keeps for display.
    static constexpr std::size_t kOverlongPreviewBytes = 64;

    explicit FrameParser(std::size_t maxFrameBytes = kDefaultMaxFrameBytes);

    // Events completed by these bytes. Noise is reported at the end of each
    // call, so a reader sees it at once.
    std::vector<FrameEvent> feed(std::string_view bytes);

    // End of the stream: an open frame is reported as cut off. The parser is
    // then ready for a new stream.
    std::vector<FrameEvent> finish();

private:
    enum class State { Outside, InFrame, SkippingOverlong };

    void flushNoise(std::vector<FrameEvent>& events);

    std::size_t maxFrameBytes_ = kDefaultMaxFrameBytes;
    State state_ = State::Outside;
    std::string frame_;
    std::string noise_;
};

}  // namespace pelmora::link
