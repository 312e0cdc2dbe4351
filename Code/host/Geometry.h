#pragma once

#include <memory>

#include "runtime/Object.h"

namespace corvale::host {

/// A bounding rectangle; the host's own object, changed in place.
class IEnvelope : public virtual Object {
 public:
  /**
   * Scales the rectangle: with `asRatio` true its width becomes dx times and
   * its height dy times what they were, about the same centre; with `asRatio`
   * false dx and dy are distances added on each side. A rectangle without
   * width or height stays so under scaling.
   */
  virtual void expand(double dx, double dy, bool asRatio) = 0;
  virtual double xMin() = 0;
  virtual double yMin() = 0;
  virtual double xMax() = 0;
  virtual double yMax() = 0;
};

/// A shape of a feature.
class IGeometry : public virtual Object {
 public:
  /// A new envelope object holding the shape's bounding rectangle.
  virtual std::shared_ptr<IEnvelope> envelope() = 0;
};

}  // namespace corvale::host
