// The Office add-in host interface, IDTExtensibility2, as the host calls it.
//
// Layout-bound: the host calls through the published table, IDispatch's
// seven operations followed by OnConnection, OnDisconnection,
// OnAddInsUpdate, OnStartupComplete and OnBeginShutdown.  The custom
// arguments are arrays of the host's that the add-in never looks into.
#pragma once

#include <cstdint>

#include "platform/com.h"

#ifndef _WIN32
// Opaque here: the add-in only passes the host's arrays on.
struct SAFEARRAY;
#endif

// How the host connected the add-in; 32-bit on the wire.
enum ext_ConnectMode : int32_t {
  ext_cm_AfterStartup = 0,
  ext_cm_Startup = 1,
  ext_cm_External = 2,
  ext_cm_CommandLine = 3,
};

// Why the host disconnects the add-in; 32-bit on the wire.
enum ext_DisconnectMode : int32_t {
  ext_dm_HostShutdown = 0,
  ext_dm_UserClosed = 1,
};

struct IDTExtensibility2 : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application,
                                                 ext_ConnectMode ConnectMode,
                                                 IDispatch* AddInInst,
                                                 SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(
      ext_DisconnectMode RemoveMode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
extern const IID IID_IDTExtensibility2;
// Outlook's dispatch interface of item events,
// {00063077-0000-0000-C000-000000000046}.
extern const IID IID_ItemsEvents;

// DISPIDs of the ItemsEvents members.
constexpr DISPID DISPID_ITEM_ADD = 0xF001;
constexpr DISPID DISPID_ITEM_CHANGE = 0xF002;
constexpr DISPID DISPID_ITEM_REMOVE = 0xF003;
