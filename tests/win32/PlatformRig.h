// The dialog's logic wired to the real Windows adapters, with a recording view.
#pragma once

#include "RecordingView.h"
#include "Win32Clock.h"
#include "Win32Digest.h"
#include "Win32FirmwareFile.h"
#include "Win32LibraryLoader.h"
#include "Win32ProfileReader.h"
#include "Win32Spooler.h"
#include "Win32StatusLibrary.h"
#include "Win32SystemServices.h"
#include "app/CfuuDlg.h"

namespace sarnok::test {

struct CPlatformRig {
    CRecordingView m_view;
    win32::CWin32Spooler m_spooler;
    win32::CWin32StatusLibrary m_status;
    win32::CWin32LibraryLoader m_loader;
    win32::CWin32FirmwareFile m_files;
    win32::CWin32Clock m_clock;
    win32::CWin32SystemServices m_system;
    win32::CWin32ProfileReader m_profile;
    win32::CWin32Digest m_digest;
    CfuuDlg m_dlg{CPorts{m_view, m_spooler, m_status, m_loader, m_files, m_clock, m_system,
                         m_profile, &m_digest}};
};

} // namespace sarnok::test
