#include <vorna/model/section.h>

namespace vorna
{
    Section::Section() = default;
    Section::~Section() = default;
    Section::Section( Section&& ) noexcept = default;
    Section& Section::operator=( Section&& ) noexcept = default;

    Section::CornerRange Section::boundaries( const Line< 2 >& line ) const
    {
        return { Relationships::boundaries( line.id() ), corner_store() };
    }

    Section::LineRange Section::boundaries( const Surface< 2 >& surface ) const
    {
        return { Relationships::boundaries( surface.id() ), line_store() };
    }

    Section::LineRange Section::incidences( const Corner< 2 >& corner ) const
    {
        return { Relationships::incidences( corner.id() ), line_store() };
    }

    Section::SurfaceRange Section::incidences( const Line< 2 >& line ) const
    {
        return { Relationships::incidences( line.id() ), surface_store() };
    }

    Section::CornerRange
    Section::internal_corners( const Surface< 2 >& surface ) const
    {
        return { Relationships::internals( surface.id() ), corner_store() };
    }

    Section::LineRange
    Section::internal_lines( const Surface< 2 >& surface ) const
    {
        return { Relationships::internals( surface.id() ), line_store() };
    }

    Section::SurfaceRange
    Section::embedding_surfaces( const Corner< 2 >& corner ) const
    {
        return { Relationships::embeddings( corner.id() ), surface_store() };
    }

    Section::SurfaceRange
    Section::embedding_surfaces( const Line< 2 >& line ) const
    {
        return { Relationships::embeddings( line.id() ), surface_store() };
    }

    Section::LineRange
    Section::items( const ModelBoundary< 2 >& boundary ) const
    {
        return { Relationships::items( boundary.id() ), line_store() };
    }

    bool Section::is_boundary( const Line< 2 >& line,
                               const Surface< 2 >& surface ) const
    {
        return Relationships::is_boundary( line.id(), surface.id() );
    }

    bool Section::is_internal( const Line< 2 >& line,
                               const Surface< 2 >& surface ) const
    {
        return Relationships::is_internal( line.id(), surface.id() );
    }
} // namespace vorna
