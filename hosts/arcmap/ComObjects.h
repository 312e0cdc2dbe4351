#pragma once

#include <memory>

#include "host/Application.h"
#include "host/Forms.h"
#include "hosts/arcmap/ComSupport.h"

namespace corvale::arcmap {

/**
 * The host's COM objects as the component's host interfaces. Each object is
 * wrapped once: the wrapper asks the object with QueryInterface, when it is
 * wrapped, for each host interface that the component may look for on an
 * object of its kind, and offers exactly those that the object answers; so
 * `isA<I>` is the host's own type test and `query<I>` fails with 13 where
 * the host's QueryInterface says E_NOINTERFACE. The wrapper holds one
 * reference per interface it offers and releases each once, when it goes.
 * A failing HRESULT of any call is raised as Failure{hr, description}.
 *
 * Kinds and what is asked:
 * - application objects (the hook, an application reference): IApplication;
 * - a document: IDocument;
 * - a layer: ILayer (required), IGroupLayer, ICompositeLayer, IFeatureLayer, IDisplayTable;
 * - a table: ITable (required), IClass; a feature class: IFeatureClass (required), IClass;
 * - a row: IRow (required), IRowValues;
 * - a view: IActiveView (required), IPageLayout;
 * - a frame window: IFrameWindow (required), IWindowPosition;
 * - the rest: the one interface of their kind (required).
 * An object that lacks a required interface is failure 13; null is nothing.
 */

/// The hook or an application reference: an object that offers IApplication when it answers it.
ObjectRef wrapApplicationObject(ComRef object);

std::shared_ptr<host::IQueryFilter> wrapQueryFilter(ComRef object);
std::shared_ptr<host::IFrameWindow> wrapFrameWindow(ComRef object);
std::shared_ptr<host::IRow> wrapRow(ComRef object);

/// The interface pointer a wrapper of this adapter holds for `iid`, or null.
IUnknown* comInterfaceOf(const ObjectRef& object, const GUID& iid);

}  // namespace corvale::arcmap
