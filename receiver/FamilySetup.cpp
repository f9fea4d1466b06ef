// Choosing a receiver family: the view's glue over the family tables and defaults.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/CommandTables.h"
#include "receiver/FamilyDefaults.h"

void CChildView::ResetGraphChannels() {
    ResetGraphChannelSettings(*this);
    m_strChannelValue.fill(QString());
}

void CChildView::LoadDefaultButtons() {
    const int family = g_nReceiverType;
    for (int i = 0; i < kCommandButtons; ++i) {
        m_strButton[i].label = g_CommandButtons[family][i][0];
        m_strButton[i].command = g_CommandButtons[family][i][1];
    }
    m_strCommandList = g_CommandLists[family];
    UpdateDialogBar();
}

void CChildView::SetReceiverDefaults() {
    const int family = g_nReceiverType;
    ResetGraphChannels();
    m_strProfilePath.clear(); // no profile file is current after a family change
    LoadDefaultButtons();
    // The auxiliary port's prompt list follows the family's, whatever was set before.
    m_strPrompts = g_ReplyPrompts[family];
    m_strOKPrompt = m_strPrompts;
    for (int slot = 0; slot < kPollSlots; ++slot)
        m_strPollCommand[slot] = g_PollCommands[family][slot];
    ApplyFamilySettings(*this, family);
    UpdateTitle();
    m_bOldRegVersion = false;
}
