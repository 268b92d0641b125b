#include "tools/platform/UpdateRoutes.h"

void AddUpdateRoutes(StandinServer& server, const Installer& installer) {
    server.Get("/module/QorvaneProductList.xml",
               [&installer](const httplib::Request&, httplib::Response& response) {
                   response.set_content(installer.ProductList(), "text/xml; charset=utf-8");
               });
    server.Get("/module/" + installer.FileName(),
               [&installer](const httplib::Request&, httplib::Response& response) {
                   // Served from the one copy in memory: a range of a large
                   // installer must not copy the whole file each time.
                   const std::string& bytes = installer.Bytes();
                   response.set_content_provider(
                       bytes.size(), "application/octet-stream",
                       [&bytes](size_t offset, size_t length, httplib::DataSink& sink) {
                           return sink.write(bytes.data() + offset, length);
                       });
               });
}
