#include "core/base/error_handler.h"

#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>

#include "core/base/event_pump.h"
#include "core/base/failure.h"
#include "core/base/plain_text.h"
#include "core/base/trace_sink.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

constexpr std::size_t kLongDescription = 100;

std::int32_t NumberOf(const std::error_code& code) {
    if (code == std::errc::no_such_file_or_directory) {
        return kErrFileNotFound;
    }
    if (code == std::errc::not_a_directory) {
        return kErrPathNotFound;
    }
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted) {
        return kErrPermissionDenied;
    }
    if (code == std::errc::not_enough_memory) {
        return kErrOutOfMemory;
    }
    return kErrPathFileAccess;
}

}  // namespace

void ErrorHandler::Record(const std::exception_ptr& error, int line) noexcept {
    if (!error) {  // rethrowing a null pointer would be undefined
        return;
    }
    try {
        m_err.ErrLine = line;
        m_err.ErrSource.clear();
        try {
            std::rethrow_exception(error);
        } catch (const Failure& f) {
            m_err.ErrNumber = f.Number();
            m_err.ErrDescription = f.Description();
            m_err.ErrSource = f.Source();
        } catch (const std::bad_alloc&) {
            m_err.ErrNumber = kErrOutOfMemory;
            m_err.ErrDescription = "Out of memory";
        } catch (const std::system_error& e) {  // filesystem_error included
            m_err.ErrNumber = NumberOf(e.code());
            m_err.ErrDescription = Utf8ToCp1252(e.what());
        } catch (const std::exception& e) {
            m_err.ErrNumber = kErrInvalidCall;
            m_err.ErrDescription = Utf8ToCp1252(e.what());
        } catch (...) {
            m_err.ErrNumber = kErrInvalidCall;
            m_err.ErrDescription = "Unknown error";
        }
    } catch (...) {  // out of memory while copying a text: keep what was set
    }
}

void ErrorHandler::GestionDesErreurs(std::string_view caller) noexcept {
    if (m_state.ApplicationEnFermeture || m_state.InErrorHandler) {
        return;
    }
    m_state.InErrorHandler = true;
    try {
        std::int64_t number = m_err.ErrNumber;
        bool applicationDefined = false;
        const std::int64_t offset = number - static_cast<std::int64_t>(kApplicationErrorBase);
        if (offset > 0 && offset < 65535) {
            number = offset;
            applicationDefined = true;
        }
        if (number != 0) {
            std::string description = m_err.ErrDescription;
            if (description.size() > kLongDescription) {
                description = ReplaceAll(description, ". ", "\n ");
            }
            std::string report = "Err: " + std::to_string(number) + " (" + description + ")";
            if (!IsBlank(caller)) {
                report += "\n\nSource:";
                report += caller;
                report += ":" + std::to_string(m_err.ErrLine);
            }
            if (applicationDefined && !IsBlank(m_err.ErrSource)) {
                report += "\n(Source: " + m_err.ErrSource + ")";
            }
            report = ReplaceAll(report, "\n", " ");
            if (m_trace != nullptr) {
                m_trace->TraceLogEncadre(-1, -1, -1, report, '=', true);
            }
        }
    } catch (...) {  // a failure while reporting is dropped
    }
    m_err.Clear();
    try {
        m_pump.DoEvents();
    } catch (...) {
    }
    m_state.InErrorHandler = false;
}

}  // namespace ks
