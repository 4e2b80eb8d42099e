#include "console/MinutiaeFlow.h"

#include <QFileInfo>
#include <vector>

#include "platform/core/FileAccess.h"
#include "platform/qt/UiOperator.h"
#include "protocol/CommandCatalog.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"

namespace {

QString PathText(const std::string& path) { return QFileInfo(QString::fromStdString(path)).absoluteFilePath(); }

}  // namespace

const char kMinutiaeFilter[] = "MIN files(*.min)|*.min|All files|*.*|";
const char kMinutiaeDefExt[] = "*.MIN";

void CMinutiaeFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CMinutiaeFlow> table[] = {
        GENERAL_REPLY(CMD_GET_MINUTIAE, &CMinutiaeFlow::OnGetMinutiaeAnswer),
        GENERAL_REPLY(CMD_INSTANT_MATCH, &CMinutiaeFlow::OnInstantMatchAnswer),
    };
    DispatchReply(this, table, reply);
}

bool CMinutiaeFlow::OnCommand(int id, int code) {
    static const CommandEntry<CMinutiaeFlow> table[] = {
        {IDC_GET_MINUTIAE, BN_CLICKED, &CMinutiaeFlow::OnGetMinutiae},
        {IDC_INSTANT_MATCHING, BN_CLICKED, &CMinutiaeFlow::OnInstantMatching},
    };
    return DispatchCommand(this, table, id, code);
}

void CMinutiaeFlow::Report(const QString& text, const QString& detail) {
    m_Console.ShowPrompt(MSGFORM_WARNING, text);
    m_Console.SetStatusText(detail);
}

// ------------------------------------------------------------ GET MINUTIAE

void CMinutiaeFlow::OnGetMinutiae() { Request(req::General(CMD_GET_MINUTIAE)); }

void CMinutiaeFlow::OnGetMinutiaeAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result != RES_SUCCESS) {
        ShowAnswer(m_Console, result, kGetMinutiaeRows, kGetMinutiaeRowCount);
        return;
    }
    if (answer.m_DataSize < static_cast<std::uint32_t>(MINUTIAE_SIZE)) {
        // Padding the record would save a file that looks real and is not.
        Report("The minutiae is incomplete.",
               QString::asprintf("The minutiae is incomplete: %u of %d bytes received; nothing was saved.",
                                 static_cast<unsigned>(answer.m_DataSize), MINUTIAE_SIZE));
        return;
    }
    std::string path;
    if (!m_Console.Operator().GetSaveFileName(kMinutiaeFilter, kMinutiaeDefExt, false, path)) return;
    const QString fullPath = PathText(path);
    // Written whole or not at all: a failed write leaves an existing file as it was.
    const SFileResult saved = ReplaceFile(fullPath.toStdString(), answer.m_Data, MINUTIAE_SIZE);
    if (!saved.Ok()) {
        Report("The minutiae could not be saved.",
               "The minutiae could not be saved as " + fullPath + ": " + QString::fromStdString(saved.Why()));
        return;
    }
    m_Console.ShowPrompt(MSGFORM_SUCCESS, QString("The minutiae was saved as %1.").arg(fullPath));
}

// -------------------------------------------------------- INSTANT MATCHING

void CMinutiaeFlow::OnInstantMatching() {
    std::string path;
    if (!m_Console.Operator().GetOpenFileName(kMinutiaeFilter, kMinutiaeDefExt, path)) return;
    const QString fullPath = PathText(path);
    // Only a regular file is read (a named pipe or a device would hold the
    // console up), and its size is known before a byte is read.
    CInputFile file;
    SFileResult result = file.Open(fullPath.toStdString());
    if (!result.Ok()) {
        Report("The minutiae file could not be opened.",
               "The minutiae file could not be opened: " + fullPath + ": " + QString::fromStdString(result.Why()));
        return;
    }
    // Only the first record of a longer file is sent.
    std::vector<std::uint8_t> record;
    if (file.Size() >= static_cast<std::uint64_t>(MINUTIAE_SIZE)) result = file.Read(record, MINUTIAE_SIZE);
    if (!result.Ok()) {
        Report("The minutiae file could not be read.",
               "The minutiae file could not be read: " + fullPath + ": " + QString::fromStdString(result.Why()));
        return;
    }
    if (record.size() < static_cast<std::size_t>(MINUTIAE_SIZE)) {
        const std::uint64_t held = file.Size() < static_cast<std::uint64_t>(MINUTIAE_SIZE) ? file.Size() : record.size();
        // One pass over the text: a file name holding "%1" stays as it is.
        Report("The minutiae file is too short.",
               QString("The minutiae file is too short: %1 holds %2 of %3 bytes; nothing was sent.")
                   .arg(fullPath, QString::number(held), QString::number(MINUTIAE_SIZE)));
        return;
    }
    Request(req::InstantMatch(record.data()));
}

void CMinutiaeFlow::OnInstantMatchAnswer(const CReply& reply) {
    ShowAnswer(m_Console, reply.Result(), kInstantMatchRows, kInstantMatchRowCount);
}
