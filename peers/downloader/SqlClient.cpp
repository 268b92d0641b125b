#include "peers/downloader/SqlClient.h"

#include <cstdlib>

#include "foundation/Encoding.h"
#include "foundation/XmlElement.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Socket.h"
#include "peers/downloader/DownloaderAddress.h"

int ExecSql(const std::string& statement, ExecSqlResult& result) {
    result.Reset();
    if (statement.empty()) {
        return -1;
    }
    const int port = DownloaderPort();
    CHttpRequest request;
    request.SetHost(kDownloaderHost, port);
    request.SetUrl(kExecSqlPath);
    request.AddParam("Sql", statement);

    // A refused connection makes the send fail and leaves the body empty,
    // which the element search below turns into -1.
    SOCKET socket = CreateTcpSocket();
    CHttpResponse response;
    if (socket != kInvalidSocket &&
        ConnectTcp(socket, kDownloaderHost, port, kExecSqlConnectTimeoutMs) == 0 &&
        request.Send(socket, kExecSqlSendTimeoutMs) == 0) {
        response.Receive(socket, kExecSqlReceiveTimeoutMs);
    }
    CloseSocket(socket);

    size_t cursor = 0;
    std::string retn;
    if (ReadXmlElement(cursor, "Retn", response.body, retn) != 0 || retn != "0") {
        return -1;
    }
    cursor = 0;
    std::string table;
    if (ReadXmlElement(cursor, "SqlResult", response.body, table) != 0) {
        return -1;
    }
    return ParseSqlResult(ToUtf8IfNeeded(table), result);
}

int ParseSqlResult(const std::string& text, ExecSqlResult& result) {
    result.Reset();
    if (text.size() <= kSqlSeparatorLength) {
        return -1;
    }
    const std::string separator = text.substr(0, kSqlSeparatorLength);
    size_t pos = kSqlSeparatorLength;
    bool complete = true;
    auto next = [&](std::string& field) {
        size_t end = complete ? text.find(separator, pos) : std::string::npos;
        if (end == std::string::npos) {
            complete = false;
            return false;
        }
        field = text.substr(pos, end - pos);
        pos = end + kSqlSeparatorLength;
        return true;
    };
    std::string retCode, rowCount, columnCount;
    if (next(retCode) && next(result.message) && next(rowCount) && next(columnCount)) {
        result.retCode = std::atoi(retCode.c_str());
        result.rowCount = std::atoi(rowCount.c_str());
        result.columnCount = std::atoi(columnCount.c_str());
        // Rows without columns hold nothing; a huge count of them would only
        // exhaust memory.
        const int rows = result.columnCount > 0 ? result.rowCount : 0;
        for (int r = 0; complete && r < rows; ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < result.columnCount; ++c) {
                std::string cell;
                if (!next(cell)) {
                    break;
                }
                row.push_back(std::move(cell));
            }
            result.rows.push_back(std::move(row));
        }
    }
    if (!complete) {
        result.Reset();
        return -1;
    }
    return 0;
}
