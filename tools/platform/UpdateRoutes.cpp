#include "tools/platform/UpdateRoutes.h"

void AddUpdateRoutes(StandinServer& server, const Installer& installer) {
    server.Get("/module/QorvaneProductList.xml",
               [&installer](const httplib::Request&, httplib::Response& response) {
                   response.set_content(installer.ProductList(), "text/xml; charset=utf-8");
               });
    server.Get("/module/" + installer.FileName(),
               [&installer](const httplib::Request&, httplib::Response& response) {
                   response.set_content(installer.Bytes(), "application/octet-stream");
               });
}
