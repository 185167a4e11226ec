#include "core/db/message_sink.h"

#include "core/sys/dialog_msg.h"

namespace ks {

void DialogMsgSink::Dialog_Msg(std::string_view mainInstruction, std::string_view content,
                               std::string_view footer, std::int32_t icon, std::int32_t width) {
    m_dialog.Dialog_Msg(mainInstruction, content, footer, icon, width);
}

}  // namespace ks
