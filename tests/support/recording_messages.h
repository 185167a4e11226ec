// A message sink for tests: records every operator message instead of showing it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/db/message_sink.h"

namespace ks::test {

class RecordingMessages : public MessageSink {
  public:
    struct Message {
        std::string mainInstruction;
        std::string content;
        std::string footer;
        std::int32_t icon;
        std::int32_t width;
    };

    void Dialog_Msg(std::string_view mainInstruction, std::string_view content,
                    std::string_view footer, std::int32_t icon, std::int32_t width) override {
        messages.push_back(
            {std::string(mainInstruction), std::string(content), std::string(footer), icon, width});
    }

    std::vector<Message> messages;
};

}  // namespace ks::test
