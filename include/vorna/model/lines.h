#pragma once

#include <memory>
#include <utility>

#include <vorna/basic/uuid.h>
#include <vorna/model/component_range.h>
#include <vorna/model/detail/component_store.h>
#include <vorna/model/line.h>

namespace vorna
{
    template < index_t D >
    class LinesBuilder;

    /// The lines of a model, owned, in creation order.
    template < index_t D >
    class Lines
    {
        friend class LinesBuilder< D >;

      public:
        using LineRange = ComponentRange< Line< D > >;

        Lines( const Lines& ) = delete;
        Lines& operator=( const Lines& ) = delete;

        index_t nb_lines() const
        {
            return lines_.size();
        }

        bool has_line( const uuid& id ) const
        {
            return lines_.find( id ) != nullptr;
        }

        /// \throw CorvaneException when the model has no such line.
        const Line< D >& line( const uuid& id ) const
        {
            return lines_.get( id, "Lines::line" );
        }

        /// \throw CorvaneException when the model has no such line.
        Line< D >& modifiable_line( const uuid& id )
        {
            return lines_.get( id, "Lines::modifiable_line" );
        }

        /// Creation order, kept across removals.
        LineRange lines() const
        {
            return LineRange{ lines_.components() };
        }

      protected:
        Lines() = default;
        ~Lines() = default;
        Lines( Lines&& ) noexcept = default;
        Lines& operator=( Lines&& ) noexcept = default;

        const detail::ComponentStore< Line< D > >& line_store() const
        {
            return lines_;
        }

      private:
        Line< D >& create_line( std::unique_ptr< EdgedCurve< D > > mesh )
        {
            return lines_.add( std::unique_ptr< Line< D > >{
                new Line< D >{ std::move( mesh ) } } );
        }

        void delete_line( const uuid& id )
        {
            lines_.remove( id );
        }

      private:
        detail::ComponentStore< Line< D > > lines_;
    };
} // namespace vorna
