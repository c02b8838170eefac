#include "ui/screens/NoticeScreen.h"

#include "platform/system/Win32.h"

CNoticeScreen::CNoticeScreen(const std::vector<std::string>& lines) {
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle("NOTICE");
  m_panel->SetLines(lines);
  m_panel->AddButton("OK", kOk, VK_RETURN);
}

void CNoticeScreen::OnCommand(int) { MarkForRemoval(); }
