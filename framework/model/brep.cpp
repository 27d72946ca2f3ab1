#include <vorna/model/brep.h>

namespace vorna
{
    BRep::BRep() = default;
    BRep::~BRep() = default;
    BRep::BRep( BRep&& ) noexcept = default;
    BRep& BRep::operator=( BRep&& ) noexcept = default;

    BRep::CornerRange BRep::boundaries( const Line< 3 >& line ) const
    {
        return { Relationships::boundaries( line.id() ), corner_store() };
    }

    BRep::LineRange BRep::boundaries( const Surface< 3 >& surface ) const
    {
        return { Relationships::boundaries( surface.id() ), line_store() };
    }

    BRep::SurfaceRange BRep::boundaries( const Block< 3 >& block ) const
    {
        return { Relationships::boundaries( block.id() ), surface_store() };
    }

    BRep::LineRange BRep::incidences( const Corner< 3 >& corner ) const
    {
        return { Relationships::incidences( corner.id() ), line_store() };
    }

    BRep::SurfaceRange BRep::incidences( const Line< 3 >& line ) const
    {
        return { Relationships::incidences( line.id() ), surface_store() };
    }

    BRep::BlockRange BRep::incidences( const Surface< 3 >& surface ) const
    {
        return { Relationships::incidences( surface.id() ), block_store() };
    }

    BRep::CornerRange
    BRep::internal_corners( const Surface< 3 >& surface ) const
    {
        return { Relationships::internals( surface.id() ), corner_store() };
    }

    BRep::LineRange BRep::internal_lines( const Surface< 3 >& surface ) const
    {
        return { Relationships::internals( surface.id() ), line_store() };
    }

    BRep::CornerRange BRep::internal_corners( const Block< 3 >& block ) const
    {
        return { Relationships::internals( block.id() ), corner_store() };
    }

    BRep::LineRange BRep::internal_lines( const Block< 3 >& block ) const
    {
        return { Relationships::internals( block.id() ), line_store() };
    }

    BRep::SurfaceRange BRep::internal_surfaces( const Block< 3 >& block ) const
    {
        return { Relationships::internals( block.id() ), surface_store() };
    }

    BRep::SurfaceRange
    BRep::embedding_surfaces( const Corner< 3 >& corner ) const
    {
        return { Relationships::embeddings( corner.id() ), surface_store() };
    }

    BRep::SurfaceRange BRep::embedding_surfaces( const Line< 3 >& line ) const
    {
        return { Relationships::embeddings( line.id() ), surface_store() };
    }

    BRep::BlockRange BRep::embedding_blocks( const Corner< 3 >& corner ) const
    {
        return { Relationships::embeddings( corner.id() ), block_store() };
    }

    BRep::BlockRange BRep::embedding_blocks( const Line< 3 >& line ) const
    {
        return { Relationships::embeddings( line.id() ), block_store() };
    }

    BRep::BlockRange BRep::embedding_blocks( const Surface< 3 >& surface ) const
    {
        return { Relationships::embeddings( surface.id() ), block_store() };
    }

    BRep::SurfaceRange BRep::items( const ModelBoundary< 3 >& boundary ) const
    {
        return { Relationships::items( boundary.id() ), surface_store() };
    }

    bool BRep::is_boundary( const Surface< 3 >& surface,
                            const Block< 3 >& block ) const
    {
        return Relationships::is_boundary( surface.id(), block.id() );
    }

    bool BRep::is_internal( const Surface< 3 >& surface,
                            const Block< 3 >& block ) const
    {
        return Relationships::is_internal( surface.id(), block.id() );
    }
} // namespace vorna
