#pragma once
// The handle types through which the page session reaches documents, browsers, controls and
// database objects.
#include <memory>

#include "platform/browser/web_browser.h"
#include "platform/com/unknown.h"
#include "platform/widgets/treelist.h"

namespace vt::dom {
class Document;
class Element;
}  // namespace vt::dom
namespace vt::widgets {
class Control;
class PopupMenu;
class StatusBar;
class BusyLed;
}  // namespace vt::widgets
namespace vt::ado {
class Connection;
class Table;
class Query;
class DataSource;
class DataSet;
}  // namespace vt::ado
namespace vt::com {
struct IDispatch;
}

namespace vt {

using DocumentRef = std::shared_ptr<dom::Document>;
using ElementRef = std::shared_ptr<dom::Element>;
using BrowserRef = com::ComPtr<browser::IWebBrowser2>;
using DispatchRef = com::ComPtr<com::IDispatch>;
using ControlRef = widgets::Control*;
using PopupMenuRef = widgets::PopupMenu*;
using StatusBarRef = widgets::StatusBar*;
using BusyLedRef = widgets::BusyLed*;
using TreeListRef = widgets::TreeList*;
using TreeNodeRef = widgets::TreeNode;  // a handle that never dangles
using ConnectionRef = ado::Connection*;
using TableRef = ado::Table*;
using DataSourceRef = ado::DataSource*;
using QueryType = ado::Query;

}  // namespace vt
