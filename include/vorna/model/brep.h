#pragma once

#include <vorna/basic/identifier.h>
#include <vorna/model/blocks.h>
#include <vorna/model/component_range.h>
#include <vorna/model/corners.h>
#include <vorna/model/lines.h>
#include <vorna/model/model_boundaries.h>
#include <vorna/model/relationships.h>
#include <vorna/model/surfaces.h>
#include <vorna/model/vertex_identifier.h>

namespace vorna
{
    /// A 3D boundary representation: corners, lines, surfaces and blocks
    /// with their meshes, model boundaries, relationships and unique
    /// vertices. Starts empty; movable, not copyable; components never move.
    /// Written through BRepBuilder.
    class BRep : public Corners< 3 >,
                 public Lines< 3 >,
                 public Surfaces< 3 >,
                 public Blocks< 3 >,
                 public ModelBoundaries< 3 >,
                 public Relationships,
                 public VertexIdentifier,
                 public Identifier
    {
        friend class BRepBuilder;

      public:
        using CornerRange = RelatedComponentRange< Corner< 3 > >;
        using LineRange = RelatedComponentRange< Line< 3 > >;
        using SurfaceRange = RelatedComponentRange< Surface< 3 > >;
        using BlockRange = RelatedComponentRange< Block< 3 > >;

        BRep();
        ~BRep() override;
        BRep( BRep&& ) noexcept;
        BRep& operator=( BRep&& ) noexcept;

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
        CornerRange boundaries( const Line< 3 >& line ) const;
        LineRange boundaries( const Surface< 3 >& surface ) const;
        SurfaceRange boundaries( const Block< 3 >& block ) const;

        LineRange incidences( const Corner< 3 >& corner ) const;
        SurfaceRange incidences( const Line< 3 >& line ) const;
        BlockRange incidences( const Surface< 3 >& surface ) const;

        CornerRange internal_corners( const Surface< 3 >& surface ) const;
        LineRange internal_lines( const Surface< 3 >& surface ) const;
        CornerRange internal_corners( const Block< 3 >& block ) const;
        LineRange internal_lines( const Block< 3 >& block ) const;
        SurfaceRange internal_surfaces( const Block< 3 >& block ) const;

        SurfaceRange embedding_surfaces( const Corner< 3 >& corner ) const;
        SurfaceRange embedding_surfaces( const Line< 3 >& line ) const;
        BlockRange embedding_blocks( const Corner< 3 >& corner ) const;
        BlockRange embedding_blocks( const Line< 3 >& line ) const;
        BlockRange embedding_blocks( const Surface< 3 >& surface ) const;

        /// The surfaces of a model boundary.
        SurfaceRange items( const ModelBoundary< 3 >& boundary ) const;

        bool is_boundary( const Surface< 3 >& surface,
                          const Block< 3 >& block ) const;
        bool is_internal( const Surface< 3 >& surface,
                          const Block< 3 >& block ) const;
    };
} // namespace vorna
