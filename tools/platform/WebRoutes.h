#pragma once

#include <string>
#include <vector>

#include "tools/platform/ReceivedFiles.h"
#include "tools/standin/StandinServer.h"

struct WebSettings {
    std::string wwwDir;        // pages and scripts
    std::string documentsDir;  // course documents and question templates
    std::string channelUrl;    // the client's channel, for the pages
    std::string updateUrl;     // update server base, for "CheckUpdate"
    std::vector<std::string> boxUrls;
};

// The platform's web server: the demo portal and the exam, question and
// preview pages; the snapshot upload, the box list, the answer delivery, the
// file service for Office answers, course documents and a download.
//
//   GET  /                                   -> /portal.html
//   GET  /standin-config.js                  addresses for the pages
//   GET  /UserPaperPreview.aspx              the paper preview page
//   GET  /demo/event?fn=..&args=..           what a page's script function received
//   POST /lms/api/HanderReceiveImgInfo.ashx  multipart examUid, userUid, image (JPEG)
//   GET  /lms/api/ValidCode.aspx?methodName=GetBoxList
//   POST /lms/api/ExamAnswer.ashx            answer delivery (raw body)
//   GET  /fileservice/download?file=REL[&template=NAME]&InputStream=1
//   POST|PUT the same address                stores the uploaded document as REL
//   GET  /course/NAME                        course document
//   GET  /download/NAME                      the same file as an attachment
void AddWebRoutes(StandinServer& server, const WebSettings& settings, ReceivedFiles& files);
