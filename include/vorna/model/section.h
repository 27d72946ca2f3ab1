#pragma once

#include <vorna/basic/identifier.h>
#include <vorna/model/component_range.h>
#include <vorna/model/corners.h>
#include <vorna/model/lines.h>
#include <vorna/model/model_boundaries.h>
#include <vorna/model/relationships.h>
#include <vorna/model/surfaces.h>
#include <vorna/model/vertex_identifier.h>

namespace vorna
{
    /// A 2D model: corners, lines and surfaces with their meshes, model
    /// boundaries, relationships and unique vertices. Starts empty; movable,
    /// not copyable; components never move. Written through SectionBuilder.
    class Section : public Corners< 2 >,
                    public Lines< 2 >,
                    public Surfaces< 2 >,
                    public ModelBoundaries< 2 >,
                    public Relationships,
                    public VertexIdentifier,
                    public Identifier
    {
        friend class SectionBuilder;

      public:
        using CornerRange = RelatedComponentRange< Corner< 2 > >;
        using LineRange = RelatedComponentRange< Line< 2 > >;
        using SurfaceRange = RelatedComponentRange< Surface< 2 > >;

        Section();
        ~Section() override;
        Section( Section&& ) noexcept;
        Section& operator=( Section&& ) noexcept;

        // The uuid forms, returning ComponentIDs.
        using Relationships::boundaries;
        using Relationships::embeddings;
        using Relationships::incidences;
        using Relationships::internals;
        using Relationships::is_boundary;
        using Relationships::is_internal;
        using Relationships::items;

        // Typed ranges, in the order the relationships were added. Each
        // throws CorvaneException for a component the model does not know.
        CornerRange boundaries( const Line< 2 >& line ) const;
        LineRange boundaries( const Surface< 2 >& surface ) const;

        LineRange incidences( const Corner< 2 >& corner ) const;
        SurfaceRange incidences( const Line< 2 >& line ) const;

        CornerRange internal_corners( const Surface< 2 >& surface ) const;
        LineRange internal_lines( const Surface< 2 >& surface ) const;

        SurfaceRange embedding_surfaces( const Corner< 2 >& corner ) const;
        SurfaceRange embedding_surfaces( const Line< 2 >& line ) const;

        /// The lines of a model boundary.
        LineRange items( const ModelBoundary< 2 >& boundary ) const;

        bool is_boundary( const Line< 2 >& line,
                          const Surface< 2 >& surface ) const;
        bool is_internal( const Line< 2 >& line,
                          const Surface< 2 >& surface ) const;
    };
} // namespace vorna
