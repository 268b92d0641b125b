// LibreOffice over UNO: the connection to our private office, the document
// frame inside our window, store and close. Every UNO exception ends here;
// none leaves the module.

#include <rtl/process.h>
#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/XSystemChildFactory.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/awt/XWindowPeer.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/Frame.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/SystemDependent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionDisapprove.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include <mutex>

#include "officecontainer/OfficeHost.h"

using namespace com::sun::star;
using com::sun::star::uno::Reference;
using com::sun::star::uno::Sequence;
using com::sun::star::uno::UNO_QUERY;
using com::sun::star::uno::UNO_QUERY_THROW;
using rtl::OUString;
using rtl::OUStringToOString;

namespace {

constexpr const char* kFrameName = "qorvane_document";

OUString ToOUString(const std::string& text) {
    return OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8);
}

std::string ToUtf8(const OUString& text) {
    return OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr();
}

beans::PropertyValue Property(const char* name, const uno::Any& value) {
    beans::PropertyValue property;
    property.Name = OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

// Declines every question the office would ask while loading (repair a
// damaged file? which filter options? update links?): nobody sits in front
// of a dialog of ours, and a dialog would block the load.
class DecliningHandler : public cppu::WeakImplHelper1<task::XInteractionHandler> {
public:
    void SAL_CALL handle(const Reference<task::XInteractionRequest>& request) override {
        const Sequence<Reference<task::XInteractionContinuation>> choices =
            request->getContinuations();
        Reference<task::XInteractionContinuation> pick;
        for (const auto& choice : choices) {
            if (Reference<task::XInteractionAbort>(choice, UNO_QUERY).is()) {
                pick = choice;
                break;
            }
            if (!pick.is() && Reference<task::XInteractionDisapprove>(choice, UNO_QUERY).is()) {
                pick = choice;
            }
        }
        if (pick.is()) {
            pick->select();
        }
    }
};

class UnoOfficeHost : public IOfficeHost {
public:
    OfficeOpen Open(const OfficeStart& start, const std::function<bool()>& retryWait,
                    std::string* detail) override {
        try {
            return OpenDocument(start, retryWait, detail);
        } catch (const lang::DisposedException& error) {
            *detail = "office gone: " + ToUtf8(error.Message);
            return OfficeOpen::kGone;
        } catch (const uno::RuntimeException& error) {
            *detail = "office gone: " + ToUtf8(error.Message);
            return OfficeOpen::kGone;
        } catch (const uno::Exception& error) {
            *detail = ToUtf8(error.Message);
            return OfficeOpen::kCannotOpen;
        }
    }

    bool Save(std::string* detail) override {
        std::lock_guard<std::mutex> lock(m_lock);
        try {
            Reference<frame::XStorable> storable(m_document, UNO_QUERY);
            if (!storable.is()) {
                *detail = "no document";
                return false;
            }
            OUString filter = ToOUString(m_storeFilter);
            if (filter.isEmpty()) {
                Reference<frame::XModel> model(m_document, UNO_QUERY);
                const Sequence<beans::PropertyValue> loaded =
                    model.is() ? model->getArgs() : Sequence<beans::PropertyValue>();
                for (const auto& property : loaded) {
                    if (property.Name == "FilterName") {
                        property.Value >>= filter;
                    }
                }
            }
            // With its own filter, whether or not anything changed, never
            // asked about; written beside the document and renamed over it,
            // so that the document is never seen half written (and the
            // client may have moved the earlier version away meanwhile).
            const beans::PropertyValue properties[] = {Property("FilterName", uno::Any(filter)),
                                                       Property("Overwrite", uno::Any(true))};
            const OUString partial = m_documentUrl + ".saving";
            storable->storeToURL(partial, Sequence<beans::PropertyValue>(properties, 2));
            if (osl::File::move(partial, m_documentUrl) != osl::FileBase::E_None) {
                osl::File::remove(partial);
                *detail = "cannot put the saved document in place";
                return false;
            }
            return true;
        } catch (const uno::Exception& error) {
            *detail = ToUtf8(error.Message);
            return false;
        }
    }

    void Resize(int width, int height) override {
        std::lock_guard<std::mutex> lock(m_lock);
        try {
            if (m_window.is()) {
                m_window->setPosSize(0, 0, width, height, awt::PosSize::POSSIZE);
            }
        } catch (const uno::Exception&) {
            // The office is gone; its death is reported elsewhere.
        }
    }

    void Focus() override {
        std::lock_guard<std::mutex> lock(m_lock);
        try {
            if (m_frame.is()) {
                m_frame->activate();
            }
            if (m_window.is()) {
                m_window->setFocus();
            }
        } catch (const uno::Exception&) {
        }
    }

    void Close() override {
        std::lock_guard<std::mutex> lock(m_lock);
        try {
            Reference<util::XCloseable> closeable(m_document, UNO_QUERY);
            if (closeable.is()) {
                closeable->close(true);
            }
        } catch (const uno::Exception&) {
            // Vetoed or gone: the office is ended below either way.
        }
        try {
            if (m_desktop.is()) {
                m_desktop->terminate();
            }
        } catch (const uno::Exception&) {
        }
        m_document.clear();
        m_frame.clear();
        m_window.clear();
        m_desktop.clear();
    }

private:
    OfficeOpen OpenDocument(const OfficeStart& start, const std::function<bool()>& retryWait,
                            std::string* detail) {
        Reference<uno::XComponentContext> local;
        try {
            OUString folder;
            osl::FileBase::getFileURLFromSystemPath(ToOUString(start.programDir), folder);
            // The office's own bootstrap files name its type and service
            // registries, which the bridge needs to talk to it.
            rtl::Bootstrap::set("URE_BOOTSTRAP", folder + "/fundamentalrc");
            local = cppu::defaultBootstrap_InitialComponentContext(folder + "/unorc");
        } catch (const uno::Exception& error) {
            *detail = "no UNO runtime in " + start.programDir + ": " + ToUtf8(error.Message);
            return OfficeOpen::kNoOffice;
        }
        Reference<bridge::XUnoUrlResolver> resolver = bridge::UnoUrlResolver::create(local);
        const OUString address =
            ToOUString("uno:pipe,name=" + start.pipeName + ";urp;StarOffice.ComponentContext");
        Reference<uno::XComponentContext> remote;
        for (;;) {
            try {
                remote.set(resolver->resolve(address), UNO_QUERY_THROW);
                break;
            } catch (const connection::NoConnectException&) {
                if (!retryWait()) {
                    *detail = "the office did not answer on pipe " + start.pipeName;
                    return OfficeOpen::kNoConnection;
                }
            }
        }

        Reference<frame::XDesktop2> desktop = frame::Desktop::create(remote);
        Reference<awt::XSystemChildFactory> toolkit(awt::Toolkit::create(remote), UNO_QUERY_THROW);
        sal_uInt8 processId[16];
        rtl_getGlobalProcessId(processId);
        const Sequence<sal_Int8> process(reinterpret_cast<const sal_Int8*>(processId), 16);
        Reference<awt::XWindowPeer> peer =
            toolkit->createSystemChild(uno::Any(static_cast<sal_Int64>(start.parentWindow)),
                                       process, lang::SystemDependent::SYSTEM_XWINDOW);
        if (!peer.is()) {
            *detail = "the office made no window inside ours";
            return OfficeOpen::kGone;
        }
        Reference<awt::XWindow> window(peer, UNO_QUERY_THROW);
        Reference<frame::XFrame2> frame = frame::Frame::create(remote);
        frame->initialize(window);
        frame->setCreator(Reference<frame::XFramesSupplier>(desktop, UNO_QUERY_THROW));
        desktop->getFrames()->append(Reference<frame::XFrame>(frame, UNO_QUERY_THROW));
        frame->setName(OUString::createFromAscii(kFrameName));
        window->setPosSize(0, 0, start.width, start.height, awt::PosSize::POSSIZE);
        window->setVisible(true);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_desktop = desktop;
            m_frame = frame;
            m_window = window;
            m_documentUrl = ToOUString(start.documentUrl);
            m_storeFilter = start.storeFilter;
        }

        const beans::PropertyValue properties[] = {
            Property("MacroExecutionMode", uno::Any(document::MacroExecMode::NEVER_EXECUTE)),
            Property("UpdateDocMode", uno::Any(document::UpdateDocMode::NO_UPDATE)),
            Property("InteractionHandler",
                     uno::Any(Reference<task::XInteractionHandler>(new DecliningHandler))),
        };
        Reference<lang::XComponent> document;
        try {
            document = Reference<frame::XComponentLoader>(frame, UNO_QUERY_THROW)
                           ->loadComponentFromURL(m_documentUrl, "_self", 0,
                                                  Sequence<beans::PropertyValue>(properties, 3));
        } catch (const lang::DisposedException&) {
            throw;
        } catch (const uno::RuntimeException&) {
            throw;
        } catch (const uno::Exception& error) {
            *detail = "cannot open " + start.documentUrl + ": " + ToUtf8(error.Message);
            return OfficeOpen::kCannotOpen;
        }
        if (!document.is()) {
            *detail = "the office declined " + start.documentUrl;
            return OfficeOpen::kCannotOpen;
        }
        std::lock_guard<std::mutex> lock(m_lock);
        m_document = document;
        return OfficeOpen::kOpened;
    }

    std::mutex m_lock;
    Reference<frame::XDesktop2> m_desktop;
    Reference<frame::XFrame2> m_frame;
    Reference<awt::XWindow> m_window;
    Reference<lang::XComponent> m_document;
    OUString m_documentUrl;
    std::string m_storeFilter;
};

}  // namespace

extern "C" SAL_DLLPUBLIC_EXPORT IOfficeHost* QvCreateOfficeHost() {
    return new UnoOfficeHost;
}
