#pragma once

#include <windows.h>
#include <oaidl.h>

#include "hosts/arcmap/ComSupport.h"
#include "hosts/arcmap/Guid.h"

/**
 * The host's object model as the adapter calls it: every interface by its
 * identifier and every operation by its slot (counted from 0, the three
 * base methods first), each written here once. An operation returns an
 * HRESULT; what it yields is its one out-argument, last: texts BSTR*,
 * Booleans VARIANT_BOOL*, counts, indexes, codes and ids LONG*, values
 * VARIANT*, objects an interface pointer (null for nothing).
 */
namespace corvale::arcmap::iid {
inline constexpr GUID Application = guid("8E52B9A5-307B-11D2-94C9-080009EEBECB");
inline constexpr GUID Document = guid("0522A5F1-487C-11D0-98BD-00805F7CED21");
inline constexpr GUID Map = guid("E6BDAA75-4D35-11D0-98BE-00805F7CED21");
inline constexpr GUID Layer = guid("34C20002-4D3C-11D0-92D8-00805F7C28B0");
inline constexpr GUID GroupLayer = guid("EDAD6644-1810-11D1-86AE-0000F8751720");
inline constexpr GUID PageLayout = guid("DD94D76A-836D-11D0-87EC-080009EC732A");
inline constexpr GUID CompositeLayer = guid("BA119BC4-939A-11D2-A2F4-080009B6F22B");
inline constexpr GUID FeatureLayer = guid("40A9E885-5533-11D0-98BE-00805F7CED21");
inline constexpr GUID DisplayTable = guid("CCE71A6D-6135-46CD-BBED-616A74831B30");
inline constexpr GUID Class = guid("1AFCDB32-AC09-11D2-8A1E-006097AFF44E");
inline constexpr GUID Table = guid("FCB01CB5-9F0B-11D0-BEC7-00805F7C4268");
inline constexpr GUID Fields = guid("6B2072E3-23F7-11D1-89D8-006097AFF44E");
inline constexpr GUID Field = guid("FCB01CB3-9F0B-11D0-BEC7-00805F7C4268");
inline constexpr GUID RowCursor = guid("D4803EE7-79F4-11D0-97FC-0080C7F79481");
inline constexpr GUID FeatureCursor = guid("D4803EF8-79F4-11D0-97FC-0080C7F79481");
inline constexpr GUID RowValues = guid("93684651-1A83-11D1-8802-0000F877762D");
inline constexpr GUID Row = guid("FCB01CB4-9F0B-11D0-BEC7-00805F7C4268");
inline constexpr GUID FeatureClass = guid("D4803EE6-79F4-11D0-97FC-0080C7F79481");
inline constexpr GUID QueryFilter = guid("FDFEBD93-ED75-11D0-9A95-080009EC734B");
inline constexpr GUID Feature = guid("D4803EE9-79F4-11D0-97FC-0080C7F79481");
inline constexpr GUID Geometry = guid("1B07790D-38C5-11D0-92D2-00805F7C28B0");
inline constexpr GUID Envelope = guid("1B077914-38C5-11D0-92D2-00805F7C28B0");
inline constexpr GUID ActiveView = guid("DD94D76B-836D-11D0-87EC-080009EC732A");
inline constexpr GUID StatusBar = guid("828100C1-CC80-11D0-8380-080009B996CC");
inline constexpr GUID ProgressIndicator = guid("3141F2F1-38E2-11D1-8809-080009EC732A");
inline constexpr GUID ProgressRange = guid("CCDAD2C7-8EBC-11D1-8732-0000F8751720");
inline constexpr GUID FrameWindow = guid("06861E43-9020-49EB-B949-824552EE2DE0");
inline constexpr GUID WindowPosition = guid("88C995AE-64A7-43F5-BF12-88AC179B25A6");
/// The command interface the host calls (derives from IUnknown).
inline constexpr GUID Command = guid("36B06538-4437-11D1-B970-080009EE4E51");
}  // namespace corvale::arcmap::iid

namespace corvale::arcmap::clsid {
/// A new instance is the running application.
inline constexpr GUID AppReference = guid("E1740EC5-9513-11D2-A2DF-0000F8774FB5");
inline constexpr GUID QueryFilter = guid("FDFEBD95-ED75-11D0-9A95-080009EC734B");
/// Offers the frame window and window position interfaces.
inline constexpr GUID FrameWindow = guid("9F79BAAE-E23A-4E3E-83F9-6D85B3D1094F");
}  // namespace corvale::arcmap::clsid

namespace corvale::arcmap::catid {
/// The component category the host lists its commands from.
inline constexpr GUID HostCommands = guid("B56A7C42-83D4-11D2-A2E9-080009B6F22B");
}  // namespace corvale::arcmap::catid

namespace corvale::arcmap::op {

using Object = IUnknown**;

// Application: its current document (any object, to be asked for the document), its status bar.
using ApplicationDocument = Operation<iid::Application, 8, Object>;
using ApplicationStatusBar = Operation<iid::Application, 9, Object>;

using DocumentActiveView = Operation<iid::Document, 5, Object>;
using DocumentFocusMap = Operation<iid::Document, 9, Object>;

using MapLayerCount = Operation<iid::Map, 8, LONG*>;
using MapLayer = Operation<iid::Map, 9, LONG, Object>;

using LayerName = Operation<iid::Layer, 3, BSTR*>;

using CompositeLayerCount = Operation<iid::CompositeLayer, 3, LONG*>;
using CompositeLayerMember = Operation<iid::CompositeLayer, 4, LONG, Object>;

using FeatureLayerFeatureClass = Operation<iid::FeatureLayer, 21, Object>;
/// (filter or null, reuse flag) giving a feature cursor.
using FeatureLayerSearch = Operation<iid::FeatureLayer, 29, IUnknown*, VARIANT_BOOL, Object>;

using DisplayTableTable = Operation<iid::DisplayTable, 3, Object>;

/// The index of the field of that name; negative when there is none.
using ClassFindField = Operation<iid::Class, 3, BSTR, LONG*>;
using ClassFields = Operation<iid::Class, 4, Object>;
using ClassHasObjectId = Operation<iid::Class, 10, VARIANT_BOOL*>;
using ClassObjectIdFieldName = Operation<iid::Class, 11, BSTR*>;

/// (filter or null, reuse flag) giving a row cursor.
using TableSearch = Operation<iid::Table, 23, IUnknown*, VARIANT_BOOL, Object>;

using FieldsCount = Operation<iid::Fields, 3, LONG*>;
using FieldsField = Operation<iid::Fields, 4, LONG, Object>;

using FieldName = Operation<iid::Field, 3, BSTR*>;
using FieldType = Operation<iid::Field, 5, LONG*>;

/// The next row, null at the end.
using RowCursorNext = Operation<iid::RowCursor, 5, Object>;
using FeatureCursorNext = Operation<iid::FeatureCursor, 5, Object>;

/// The value at a field index; VT_NULL for none.
using RowValuesValue = Operation<iid::RowValues, 3, LONG, VARIANT*>;

using RowObjectId = Operation<iid::Row, 7, LONG*>;

/// The number of features a filter (or null: all) selects.
using FeatureClassCount = Operation<iid::FeatureClass, 30, IUnknown*, LONG*>;

using QueryFilterSetWhereClause = Operation<iid::QueryFilter, 7, BSTR>;

using FeatureShape = Operation<iid::Feature, 13, Object>;
using GeometryEnvelope = Operation<iid::Geometry, 10, Object>;
/// (x factor, y factor, ratio flag); with the flag it scales about the centre.
using EnvelopeExpand = Operation<iid::Envelope, 50, double, double, VARIANT_BOOL>;

using ActiveViewSetExtent = Operation<iid::ActiveView, 6, IUnknown*>;
/// A page layout's focus map, as a view.
using ActiveViewFocusMap = Operation<iid::ActiveView, 9, Object>;
using ActiveViewRefresh = Operation<iid::ActiveView, 31>;

using StatusBarProgressIndicator = Operation<iid::StatusBar, 7, Object>;

using ProgressSetMessage = Operation<iid::ProgressIndicator, 3, BSTR>;
using ProgressShow = Operation<iid::ProgressIndicator, 5>;
using ProgressStep = Operation<iid::ProgressIndicator, 6>;
using ProgressHide = Operation<iid::ProgressIndicator, 7>;
using RangeSetMaximum = Operation<iid::ProgressRange, 10, LONG>;
using RangeSetStepSize = Operation<iid::ProgressRange, 12, LONG>;
using RangeSetPosition = Operation<iid::ProgressRange, 14, LONG>;

/// Takes in the window: an IDispatch whose property hWnd is its top-level window.
using FrameWindowAttach = Operation<iid::FrameWindow, 3, IDispatch*>;
using FrameWindowSetVisible = Operation<iid::FrameWindow, 4, VARIANT_BOOL>;
using FrameWindowSetCaption = Operation<iid::FrameWindow, 6, BSTR>;

/// (left, top, width, height) in pixels; a width or height of 0 keeps the current one.
using WindowPositionMove = Operation<iid::WindowPosition, 11, LONG, LONG, LONG, LONG>;

}  // namespace corvale::arcmap::op
