#include "link/frame_parser.h"

#include "link/page_command.h"

#include <algorithm>

namespace pelmora::link {
namespace {

FrameEvent cutOff(std::string bytes, CutOffReason reason)
{
    FrameEvent event;
    event.kind = FrameEventKind::CutOff;
    event.cutOffReason = reason;
    event.bytes = std::move(bytes);
    return event;
}

bool isFunctionCode(char c)
{
    return c >= '1' && c <= '4';
}
bool isRateCode(char c)
{
    return c == 'H' || c == 'L';
}
bool isPagerTypeCode(char c)
{
    return c == 'N' || c == 'T';
}
bool isPhaseCode(char c)
{
    return c == 'P' || c == 'N';
}

constexpr std::string_view kMarks{"#$"};

}  // namespace

PageFrame decodeFrame(std::string_view raw)
{
    PageFrame frame;
    frame.raw = std::string(raw);
    std::string_view body = raw;
    if (!body.empty() && body.front() == page::kStartMark)
        body.remove_prefix(1);
    if (!body.empty() && body.back() == page::kEndMark)
        body.remove_suffix(1);

    if (!body.empty() && isPhaseCode(body.front())) {
        frame.phase = body.front();
        body.remove_prefix(1);
    }
    // Longest address: search the triple from the end.
    for (std::size_t i = body.size() >= 3 ? body.size() - 3 + 1 : 0; i-- > 0;) {
        if (isFunctionCode(body[i]) && isRateCode(body[i + 1]) && isPagerTypeCode(body[i + 2])) {
            frame.address = std::string(body.substr(0, i));
            frame.function = body[i];
            frame.rate = body[i + 1];
            frame.pagerType = body[i + 2];
            frame.message = std::string(body.substr(i + 3));
            return frame;
        }
    }
    frame.undecoded = std::string(body);
    return frame;
}

FrameParser::FrameParser(std::size_t maxFrameBytes) : maxFrameBytes_(std::max<std::size_t>(maxFrameBytes, 2)) {}

void FrameParser::flushNoise(std::vector<FrameEvent>& events)
{
    if (noise_.empty())
        return;
    FrameEvent event;
    event.kind = FrameEventKind::Noise;
    event.bytes = std::move(noise_);
    noise_.clear();
    events.push_back(std::move(event));
}

std::vector<FrameEvent> FrameParser::feed(std::string_view bytes)
{
    std::vector<FrameEvent> events;
    while (!bytes.empty()) {
        const std::size_t mark = bytes.find_first_of(kMarks);
        const std::string_view run = bytes.substr(0, mark);
        switch (state_) {
        case State::Outside:
            noise_.append(run);
            break;
        case State::SkippingOverlong:
            break;
        case State::InFrame:
            if (frame_.size() + run.size() + 1 > maxFrameBytes_) {
                FrameEvent event;
                event.kind = FrameEventKind::Overlong;
                event.bytes = frame_.substr(0, kOverlongPreviewBytes);
                if (event.bytes.size() < kOverlongPreviewBytes)
                    event.bytes.append(run.substr(0, kOverlongPreviewBytes - event.bytes.size()));
                events.push_back(std::move(event));
                frame_.clear();
                frame_.shrink_to_fit();
                state_ = State::SkippingOverlong;
            } else {
                frame_.append(run);
            }
            break;
        }
        if (mark == std::string_view::npos)
            break;

        const char c = bytes[mark];
        bytes.remove_prefix(mark + 1);
        if (c == page::kStartMark) {
            flushNoise(events);
            if (state_ == State::InFrame)
                events.push_back(cutOff(std::move(frame_), CutOffReason::NewStartMark));
            frame_.assign(1, c);
            state_ = State::InFrame;
        } else if (state_ == State::InFrame) {
            frame_.push_back(c);
            FrameEvent event;
            event.kind = FrameEventKind::Frame;
            event.frame = decodeFrame(frame_);
            events.push_back(std::move(event));
            frame_.clear();
            state_ = State::Outside;
        } else if (state_ == State::SkippingOverlong) {
            state_ = State::Outside;  // the overlong frame's own end mark
        } else {
            noise_.push_back(c);  // an end mark with no frame open
        }
    }
    flushNoise(events);
    return events;
}

std::vector<FrameEvent> FrameParser::finish()
{
    std::vector<FrameEvent> events;
    flushNoise(events);
    if (state_ == State::InFrame)
        events.push_back(cutOff(std::move(frame_), CutOffReason::EndOfStream));
    frame_.clear();
    state_ = State::Outside;
    return events;
}

}  // namespace pelmora::link
