#pragma once

#include <httplib.h>

// The two requests that store values for the client in the machine's
// registry: the downloader's proxy ("/SET_CUSTOM_PROXY_INFO.KIVO") and a
// moved data folder ("/MODI_DATA_PATH.KIVO", sent when the client itself may
// not write the machine's key).
void SetCustomProxyInfo(const httplib::Request& request, httplib::Response& response);
void ModifyDataPath(const httplib::Request& request, httplib::Response& response);
