// The operator message the database reports show: the program's self-closing task dialog
// (Dialog_Msg). The database layer sees only this interface; the program wires it to the
// dialog and tests record the messages.
#pragma once

#include <cstdint>
#include <string_view>

namespace ks {

class DialogMsg;

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void Dialog_Msg(std::string_view mainInstruction, std::string_view content,
                            std::string_view footer, std::int32_t icon, std::int32_t width) = 0;
};

// The message sink of the desktop program: the operator message dialog itself.
class DialogMsgSink : public MessageSink {
  public:
    explicit DialogMsgSink(DialogMsg& dialog) : m_dialog(dialog) {}
    void Dialog_Msg(std::string_view mainInstruction, std::string_view content,
                    std::string_view footer, std::int32_t icon, std::int32_t width) override;

  private:
    DialogMsg& m_dialog;
};

}  // namespace ks
